#include "gui/sound/SoundDlgOpen.h"

#include <QTimer>

#include "gui/sound/CAnalogSoundDlg.h"

int RunSoundDialogAt(CAnalogSoundDlg& dlg, int channel, PlotRange range) {
  // The dialog fills its channel list when it is shown, inside DoModal: the
  // choice is made by the first turn of the modal loop, before any input.
  QTimer::singleShot(0, &dlg, [&dlg, channel, range] {
    dlg.m_comboChannel.setCurrentIndex(channel);
    dlg.m_plot.SetVisibleRange(range.first, range.last);
  });
  return dlg.DoModal();
}
