#include "gui/app/CAboutDlg.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

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

QRect CAboutDlg::MapDialogRect(const QFont& font, const QRect& dialogUnits) {
  const QFontMetrics fm(font);
  const int cx = fm.averageCharWidth();
  const int cy = fm.height();
  // Rounded to the nearest pixel, as the dialog manager's MulDiv does.
  auto h = [cx](int v) { return (v * cx + 2) / 4; };
  auto v = [cy](int u) { return (u * cy + 4) / 8; };
  return {h(dialogUnits.x()), v(dialogUnits.y()), h(dialogUnits.width()), v(dialogUnits.height())};
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(Res::kAboutCaption));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const QFont f = font();

  // The application icon is the one the owning main window already shows:
  // Qt caches an icon's rendered pixmaps under that icon's own key, so a new
  // QIcon per box would leave one more cached picture behind each time.
  QIcon icon = windowIcon();
  if (icon.isNull()) icon = QIcon(QStringLiteral(":/res/idr_mainframe.svg"));  // no owner with an icon
  auto* pIcon = new QLabel(this);
  pIcon->setPixmap(icon.pixmap(kIconPixels, kIconPixels));
  const QRect iconRect = MapDialogRect(f, kIconRect);
  pIcon->setGeometry(QRect(iconRect.topLeft(), QSize(kIconPixels, kIconPixels)));

  auto* pVersion = new QLabel(QString::fromLatin1(Res::kAboutVersionLine), this);
  pVersion->setTextFormat(Qt::PlainText);
  pVersion->setGeometry(MapDialogRect(f, kVersionRect));

  auto* pNotice = new QLabel(QString::fromLatin1(Res::kAboutLegalNotice), this);
  pNotice->setTextFormat(Qt::PlainText);
  pNotice->setGeometry(MapDialogRect(f, kNoticeRect));

  auto* pOk = new QPushButton(QStringLiteral("OK"), this);
  pOk->setDefault(true);
  pOk->setGeometry(MapDialogRect(f, kOkRect));
  connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(MapDialogRect(f, QRect(QPoint(0, 0), kDialogSize)).size());
}
