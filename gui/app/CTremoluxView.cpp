#include "gui/app/CTremoluxView.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/Messages.h"
#include "core/c3d/FileSummary.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CLaneChooser.h"
#include "gui/app/CLaneView.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/LaneExport.h"
#include "gui/platform/MessageBox.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "gui/sound/SoundDlgOpen.h"

namespace {

// The list's share of the lanes page's width at first.
constexpr int kChooserWidth = 160;

}  // namespace

CTremoluxView::CTremoluxView(CTremoluxDoc* pDocument, QWidget* parent)
    : QWidget(parent),
      m_pDocument(pDocument),
      m_pPages(new QTabWidget(this)),
      m_pLanes(new CLaneView),
      m_pChooser(new CLaneChooser),
      m_pNoLanes(new QLabel),
      m_pText(new QPlainTextEdit) {
  // The text area keeps the desktop's palette (window colour as its
  // background); its font is the desktop's fixed-pitch font, so that the
  // channel columns line up.
  m_pText->setObjectName(QStringLiteral("summary"));
  m_pText->setReadOnly(true);
  m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pText->setFrameShape(QFrame::NoFrame);
  UseDesktopFixedFont();

  // The lanes page: the lanes, and their list at the right; or, for a file
  // without analog channels, the line that says so.
  auto* pLanesPage = new QWidget;
  auto* pLanesLayout = new QVBoxLayout(pLanesPage);
  pLanesLayout->setContentsMargins(0, 0, 0, 0);
  auto* pSplitter = new QSplitter(Qt::Horizontal);
  pSplitter->addWidget(m_pLanes);
  pSplitter->addWidget(m_pChooser);
  pSplitter->setStretchFactor(0, 1);
  pSplitter->setStretchFactor(1, 0);
  pSplitter->setSizes({4 * kChooserWidth, kChooserWidth});
  m_pNoLanes->setObjectName(QStringLiteral("NoLanes"));
  m_pNoLanes->setText(QString::fromLatin1(Messages::kNoAnalogChannels));
  m_pNoLanes->setAlignment(Qt::AlignCenter);
  m_pNoLanes->setWordWrap(true);
  pLanesLayout->addWidget(pSplitter);
  pLanesLayout->addWidget(m_pNoLanes);
  m_pPages->setDocumentMode(true);
  m_pPages->addTab(pLanesPage, QString::fromLatin1(Messages::kLanesPage));
  m_pPages->addTab(m_pText, QString::fromLatin1(Messages::kSummaryPage));

  auto* pLayout = new QVBoxLayout(this);
  pLayout->setContentsMargins(0, 0, 0, 0);
  pLayout->addWidget(m_pPages);
  connect(m_pChooser, &CLaneChooser::ShownChanged, m_pLanes, &CLaneView::SetShownChannels);
  connect(m_pLanes, &CLaneView::OpenChannel, this, &CTremoluxView::OnOpenChannel);
  m_pDocument->AddView(this);
  OnUpdate();
}

CTremoluxView::~CTremoluxView() {
  m_pLanes->SetFile(nullptr, nullptr);
  Detach();
}

CChildFrame* CTremoluxView::GetParentFrame() const {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* pFrame = qobject_cast<CChildFrame*>(w)) return pFrame;
  }
  return nullptr;
}

void CTremoluxView::Detach() {
  if (CTremoluxDoc* pDocument = m_pDocument) {
    m_pDocument = nullptr;
    pDocument->RemoveView(this);
  }
}

void CTremoluxView::ForgetDocument() {
  m_pDocument = nullptr;
  // The document releases its file and summaries next: the lanes let go first.
  m_pLanes->SetFile(nullptr, nullptr);
}

void CTremoluxView::OnUpdate() {
  const bool loaded = m_pDocument && !m_pDocument->GetPathName().isEmpty();
  const bool lanes = loaded && !m_pDocument->m_c3d.m_analogs.empty();
  m_pLanes->parentWidget()->setVisible(lanes);  // the splitter with the lanes and their list
  m_pNoLanes->setVisible(loaded && !lanes);
  if (lanes) {
    m_pLanes->SetFile(&m_pDocument->m_c3d, &m_pDocument->m_summaries);
    QStringList labels;
    for (int i = 0; i < static_cast<int>(m_pDocument->m_c3d.m_analogs.size()); ++i)
      labels << m_pLanes->Label(i);
    m_pChooser->SetLabels(labels);
    m_pPages->setCurrentIndex(0);
    setFocusProxy(m_pLanes);
  } else {
    m_pLanes->SetFile(nullptr, nullptr);
    m_pPages->setCurrentIndex(1);
    setFocusProxy(m_pText);
  }
  if (!loaded) {
    m_pText->clear();
    return;
  }
  // The file's own text (labels, units) is 8-bit; Latin-1 keeps every byte.
  const std::string summary = DescribeFile(m_pDocument->m_c3d);
  m_pText->setPlainText(
      Res::LoadString(Res::IDS_SUMMARY_FILE).arg(m_pDocument->GetTitle()) + QLatin1Char('\n') +
      QString::fromLatin1(summary.data(), static_cast<qsizetype>(summary.size())));
}

void CTremoluxView::OnViewSoundDialog() {
  if (!m_pDocument) return;
  if (m_pDocument->m_c3d.m_analogs.empty()) {
    ShowMessageBox(window(), Messages::kNoAnalogChannels);
    return;
  }
  // Owned by the main window, as a dialog without a parent of its own is.
  CAnalogSoundDlg dlg(window());
  dlg.m_pC3d = &m_pDocument->m_c3d;
  ShareSummaries(dlg.m_plot);
  m_pLanes->FollowPlayhead(&dlg.m_plot);  // the lanes show what the dialog plays
  dlg.DoModal();
  m_pLanes->FollowPlayhead(nullptr);
}

void CTremoluxView::ShareSummaries(CAnalogPlot& plot) {
  // The document's summaries, made for the lanes, serve the dialog's plot;
  // a channel not summarised yet (or a document gone) leaves it its own.
  const QPointer<CChannelSummaries> summaries(&m_pDocument->m_summaries);
  plot.SetSummarySource(
      [summaries](int channel) { return summaries ? summaries->Get(channel) : nullptr; });
}

void CTremoluxView::OnOpenChannel(int channel) {
  if (!m_pDocument || channel < 0 ||
      static_cast<std::size_t>(channel) >= m_pDocument->m_c3d.m_analogs.size())
    return;
  CAnalogSoundDlg dlg(window());
  dlg.m_pC3d = &m_pDocument->m_c3d;
  ShareSummaries(dlg.m_plot);
  m_pLanes->FollowPlayhead(&dlg.m_plot);
  RunSoundDialogAt(dlg, channel, m_pLanes->VisibleRange());
  m_pLanes->FollowPlayhead(nullptr);
}

void CTremoluxView::OnFileExportCsv() {
  if (!m_pDocument || m_pDocument->m_c3d.m_analogs.empty()) return;
  ExportLanesCsv(window(), m_pDocument->m_c3d, m_pLanes->ShownChannels(), m_pLanes->VisibleRange());
}

QSize CTremoluxView::sizeHint() const { return {640, 400}; }

void CTremoluxView::UseDesktopFixedFont() {
  m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void CTremoluxView::changeEvent(QEvent* event) {
  // The desktop's fonts changed (new settings or theme): take its fixed-pitch
  // font again. The palette needs nothing: the text area never set its own.
  if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::ThemeChange)
    UseDesktopFixedFont();
  QWidget::changeEvent(event);
}
