#include "gui/app/CLaneChooser.h"

#include <QCheckBox>
#include <QHash>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "core/Messages.h"

namespace {

// The session's choices: for each set of channel labels (a file's, joined
// by newlines), which channels were ticked.
QHash<QString, std::vector<char>>& Remembered() {
  static QHash<QString, std::vector<char>> choices;
  return choices;
}

}  // namespace

CLaneChooser::CLaneChooser(QWidget* parent)
    : QWidget(parent),
      m_pFilter(new QLineEdit(this)),
      m_pAll(new QCheckBox(QString::fromLatin1(Messages::kLaneAll), this)),
      m_pList(new QListWidget(this)) {
  setObjectName(QStringLiteral("LaneChooser"));
  m_pFilter->setPlaceholderText(QString::fromLatin1(Messages::kLaneFilter));
  m_pFilter->setClearButtonEnabled(true);
  m_pAll->setTristate(true);
  auto* pLayout = new QVBoxLayout(this);
  pLayout->setContentsMargins(2, 2, 2, 2);
  pLayout->addWidget(m_pFilter);
  pLayout->addWidget(m_pAll);
  pLayout->addWidget(m_pList, 1);
  connect(m_pFilter, &QLineEdit::textChanged, this, &CLaneChooser::OnFilterEdited);
  connect(m_pFilter, &QLineEdit::returnPressed, this, &CLaneChooser::OnOnlyFiltered);
  connect(m_pAll, &QCheckBox::clicked, this, &CLaneChooser::OnAllClicked);
  connect(m_pList, &QListWidget::itemChanged, this, &CLaneChooser::OnItemChanged);
}

void CLaneChooser::ForgetChoices() { Remembered().clear(); }

void CLaneChooser::SetLabels(const QStringList& labels) {
  m_labels = labels;
  const auto it = Remembered().constFind(labels.join(QLatin1Char('\n')));
  m_bUpdating = true;
  m_pList->clear();
  for (int i = 0; i < labels.size(); ++i) {
    auto* pItem = new QListWidgetItem(labels[i], m_pList);
    pItem->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    const bool shown = it == Remembered().constEnd() || (*it)[static_cast<std::size_t>(i)];
    pItem->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
  }
  m_bUpdating = false;
  OnFilterEdited(m_pFilter->text());
  Announce();
}

std::vector<int> CLaneChooser::Shown() const {
  std::vector<int> shown;
  for (int i = 0; i < m_pList->count(); ++i)
    if (m_pList->item(i)->checkState() == Qt::Checked) shown.push_back(i);
  return shown;
}

void CLaneChooser::SetShown(const std::vector<int>& channels) {
  m_bUpdating = true;
  for (int i = 0; i < m_pList->count(); ++i) m_pList->item(i)->setCheckState(Qt::Unchecked);
  for (int c : channels)
    if (QListWidgetItem* pItem = m_pList->item(c)) pItem->setCheckState(Qt::Checked);
  m_bUpdating = false;
  Announce();
}

void CLaneChooser::OnFilterEdited(const QString& text) {
  const QString wanted = text.trimmed();
  for (int i = 0; i < m_pList->count(); ++i) {
    QListWidgetItem* pItem = m_pList->item(i);
    pItem->setHidden(!wanted.isEmpty() && !pItem->text().contains(wanted, Qt::CaseInsensitive));
  }
  m_bUpdating = true;
  Announce();
  m_bUpdating = false;
}

void CLaneChooser::OnOnlyFiltered() {
  std::vector<int> listed;
  for (int i = 0; i < m_pList->count(); ++i)
    if (!m_pList->item(i)->isHidden()) listed.push_back(i);
  SetShown(listed);
}

void CLaneChooser::OnAllClicked() {
  // Ticks every listed entry, or clears them when all were ticked (the
  // box's own cycle through its partial state would mean nothing here).
  bool all = true;
  for (int i = 0; i < m_pList->count(); ++i) {
    const QListWidgetItem* pItem = m_pList->item(i);
    if (!pItem->isHidden() && pItem->checkState() != Qt::Checked) all = false;
  }
  const bool checked = !all;
  m_bUpdating = true;
  for (int i = 0; i < m_pList->count(); ++i) {
    QListWidgetItem* pItem = m_pList->item(i);
    if (!pItem->isHidden()) pItem->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  }
  m_bUpdating = false;
  Announce();
}

void CLaneChooser::OnItemChanged(QListWidgetItem*) {
  if (!m_bUpdating) Announce();
}

void CLaneChooser::Announce() {
  int listed = 0;
  int ticked = 0;
  for (int i = 0; i < m_pList->count(); ++i) {
    const QListWidgetItem* pItem = m_pList->item(i);
    if (pItem->isHidden()) continue;
    ++listed;
    ticked += pItem->checkState() == Qt::Checked ? 1 : 0;
  }
  m_pAll->setCheckState(ticked == 0        ? Qt::Unchecked
                        : ticked == listed ? Qt::Checked
                                           : Qt::PartiallyChecked);
  if (m_bUpdating) return;  // only the box followed: the ticks did not change
  std::vector<char> flags(static_cast<std::size_t>(m_pList->count()), 0);
  const std::vector<int> shown = Shown();
  for (int c : shown) flags[static_cast<std::size_t>(c)] = 1;
  Remembered().insert(m_labels.join(QLatin1Char('\n')), flags);
  emit ShownChanged(shown);
}
