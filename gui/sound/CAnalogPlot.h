#pragma once

#include <QFrame>

class CC3d;

// The plot area of the sound dialog: a sunken frame that paints one analog
// channel of a loaded file as a line graph over a dotted grid. It takes no
// input; the dialog sets m_pC3d and m_nChannel and calls update(). It owns
// nothing but its frame; the dialog owns the widget (Qt parent) and the
// document owns the CC3d.
class CAnalogPlot : public QFrame {
  Q_OBJECT

 public:
  explicit CAnalogPlot(QWidget* parent = nullptr);

  CC3d* m_pC3d = nullptr;  // the file whose channel is drawn; not owned
  int m_nChannel = -1;     // 0-based index into m_pC3d->m_analogs; -1 draws nothing

 protected:
  // Draws the channel into the area inside the frame (one call to
  // RenderAnalogPlot) under the wait cursor, then the frame itself.
  void paintEvent(QPaintEvent* event) override;
};
