#include "gui/app/CAboutDlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "gui/platform/DialogUnits.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/Version.h"

namespace {
// Dialog 100, in dialog units.
constexpr QSize kDialogSize(235, 55);
constexpr QRect kIconRect(11, 17, 20, 20);
constexpr QRect kVersionRect(40, 10, 119, 8);
constexpr QRect kNoticeRect(40, 25, 119, 8);
constexpr QRect kOkRect(178, 7, 50, 14);
// Icons are drawn at their natural size, whatever the control's size.
constexpr int kIconPixels = 32;
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(Res::kAboutCaption));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  const CDialogUnits du(font());

  // The application icon is the one the owning main window already shows:
  // Qt caches an icon's rendered pixmaps under that icon's own key, so a new
  // QIcon per box would leave one more cached picture behind each time.
  QIcon icon = windowIcon();
  if (icon.isNull())
    icon = QIcon(QString::fromLatin1(Res::kImageMainFrame));  // no owner with an icon
  auto* pIcon = new QLabel(this);
  pIcon->setPixmap(icon.pixmap(kIconPixels, kIconPixels));
  const QRect iconRect = du.Map(kIconRect);
  pIcon->setGeometry(QRect(iconRect.topLeft(), QSize(kIconPixels, kIconPixels)));

  auto* pVersion = new QLabel(QString::fromLatin1(Res::kAboutVersionLine), this);
  pVersion->setTextFormat(Qt::PlainText);
  pVersion->setGeometry(du.Map(kVersionRect));

  auto* pNotice = new QLabel(QString::fromLatin1(Res::kAboutLegalNotice), this);
  pNotice->setTextFormat(Qt::PlainText);
  pNotice->setGeometry(du.Map(kNoticeRect));

  auto* pOk = new QPushButton(QStringLiteral("OK"), this);
  pOk->setDefault(true);
  pOk->setGeometry(du.Map(kOkRect));
  connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(du.Map(QRect(QPoint(0, 0), kDialogSize)).size());
}
