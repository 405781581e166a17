#pragma once

#include "core/plot/PlotGeometry.h"

class CAnalogSoundDlg;

// Runs `dlg` modally, as DoModal does, with channel `channel` chosen and its
// samples [range.first, range.last) visible in the plot (and so the range
// Play and Save use) from the moment it shows. dlg.m_pC3d must be set;
// `channel` an index of its analog channels. Returns DoModal's result.
int RunSoundDialogAt(CAnalogSoundDlg& dlg, int channel, PlotRange range);
