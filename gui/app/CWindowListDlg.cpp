#include "gui/app/CWindowListDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QVBoxLayout>

CWindowListDlg::CWindowListDlg(const QList<QMdiSubWindow*>& windows, QMdiSubWindow* pActive,
                               QWidget* parent)
    : QDialog(parent), m_pList(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Select Window"));
  auto* pLabel = new QLabel(QStringLiteral("Select &window:"), this);
  pLabel->setBuddy(m_pList);
  for (QMdiSubWindow* pWindow : windows) {
    m_windows.append(pWindow);
    m_pList->addItem(pWindow->windowTitle());
    if (pWindow == pActive) m_pList->setCurrentRow(m_pList->count() - 1);
  }
  if (m_pList->currentRow() < 0 && m_pList->count() > 0) m_pList->setCurrentRow(0);
  auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_pList, &QListWidget::itemActivated, this, &QDialog::accept);
  auto* pLayout = new QVBoxLayout(this);
  pLayout->addWidget(pLabel);
  pLayout->addWidget(m_pList);
  pLayout->addWidget(pButtons);
}

QMdiSubWindow* CWindowListDlg::GetSelectedWindow() const {
  const int row = m_pList->currentRow();
  return row >= 0 && row < m_windows.size() ? m_windows[row].data() : nullptr;
}
