#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

// The list beside the lanes that says which channels are drawn: one
// checkable entry per channel (file order), an "All" box that ticks or
// clears every listed entry, and a filter that lists only the channels
// whose label holds its text (Enter in it shows exactly those). The choice
// is remembered for the rest of the session for every file with the same
// channel labels. Owned by its parent (the document's view).
class CLaneChooser : public QWidget {
  Q_OBJECT

 public:
  explicit CLaneChooser(QWidget* parent = nullptr);

  // Lists `labels` and ticks what the session remembers for these labels
  // (all of them the first time), then announces it (ShownChanged).
  void SetLabels(const QStringList& labels);
  // The ticked channels, in file order.
  std::vector<int> Shown() const;
  // Ticks exactly `channels` and announces it.
  void SetShown(const std::vector<int>& channels);

  // Forgets every choice remembered so far: for the start of a session.
  static void ForgetChoices();

  QLineEdit* Filter() const { return m_pFilter; }
  QCheckBox* All() const { return m_pAll; }
  QListWidget* List() const { return m_pList; }

 signals:
  void ShownChanged(const std::vector<int>& channels);

 private:
  void OnFilterEdited(const QString& text);
  void OnOnlyFiltered();
  void OnAllClicked();
  void OnItemChanged(QListWidgetItem* item);
  // The "All" box's state from the listed entries; remembers and announces.
  void Announce();

  QLineEdit* m_pFilter;
  QCheckBox* m_pAll;
  QListWidget* m_pList;
  QStringList m_labels;
  bool m_bUpdating = false;
};
