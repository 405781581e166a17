#pragma once

#include <QString>
#include <vector>

#include "core/plot/PlotGeometry.h"

class CC3d;
class QWidget;

// File > Export > "Channels as CSV...": what the lanes show (the shown
// channels over the visible range) as comma-separated text, written by the
// core's CSV writer (csv::WriteChannelsCsv) through the one whole-or-nothing
// file writer.

// Writes the time and the scaled values of `channels` (file order) for the
// samples [range.first, range.last) of c3d to `path`, whole or not at all.
// True when `path` holds them; false leaves `path` as it was (a device or
// pipe aside) and sets `why` to the reason in words.
bool WriteLanesCsv(const QString& path, const CC3d& c3d, const std::vector<int>& channels,
                   PlotRange range, QString& why);

// The name offered for the export: the recording's name with ".csv", in
// its folder.
QString SuggestedCsvName(const CC3d& c3d);

// Asks for a file name (over `parent`) and writes it with WriteLanesCsv; a
// failure is shown in a message box. True when a file was written; false
// also when the user cancelled.
bool ExportLanesCsv(QWidget* parent, const CC3d& c3d, const std::vector<int>& channels,
                    PlotRange range);
