#include "gui/app/LaneExport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/WholeFile.h"
#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/export/ChannelsCsv.h"
#include "gui/platform/MessageBox.h"
#include "gui/render/SaveWhole.h"

namespace {

// The CSV writer's blocks into a stdio stream; a short write stops it.
class CStdioSink : public sound::IByteSink {
 public:
  explicit CStdioSink(std::FILE* file) : m_file(file) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
  }

 private:
  std::FILE* m_file;
};

}  // namespace

bool WriteLanesCsv(const QString& path, const CC3d& c3d, const std::vector<int>& channels,
                   PlotRange range, QString& why) {
  csv::CsvStatus status = csv::CsvStatus::Written;
  errno = 0;
  const bool written = WriteWholeFile(FsPathOf(path), [&](std::FILE* file) {
    CStdioSink sink(file);
    status =
        csv::WriteChannelsCsv(c3d, channels, csv::CsvSampleRange{range.first, range.last}, sink);
    return status == csv::CsvStatus::Written;
  });
  if (written) return true;
  const int error = errno;
  switch (status) {
    case csv::CsvStatus::NoChannels:
      why = QString::fromLatin1(Messages::kLanesNoneShown);
      break;
    case csv::CsvStatus::NoSuchChannel:
    case csv::CsvStatus::NoTimes:
    case csv::CsvStatus::EmptyRange:
      why = QString::fromLatin1(Messages::kExportCsvNothing);
      break;
    default:
      why = error != 0 ? QString::fromStdString(std::generic_category().message(error))
                       : QString::fromLatin1(Messages::kCouldNotCreate);
      break;
  }
  return false;
}

QString SuggestedCsvName(const CC3d& c3d) {
  const QFileInfo file(QFile::decodeName(c3d.m_strPathName.c_str()));
  return QDir(file.absolutePath()).filePath(file.completeBaseName() + QStringLiteral(".csv"));
}

bool ExportLanesCsv(QWidget* parent, const CC3d& c3d, const std::vector<int>& channels,
                    PlotRange range) {
  const QString path = QFileDialog::getSaveFileName(
      parent, QString::fromLatin1(Messages::kExportCsvTitle), SuggestedCsvName(c3d),
      QString::fromLatin1(Messages::kExportCsvFilter));
  if (path.isEmpty()) return false;
  QString why;
  if (WriteLanesCsv(path, c3d, channels, range, why)) return true;
  ShowMessageBox(parent, (QString::fromLatin1(Messages::kExportCsvFailed) + QLatin1Char(' ') +
                          QDir::toNativeSeparators(path) + QStringLiteral(":\n") + why)
                             .toStdString());
  return false;
}
