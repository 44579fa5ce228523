#pragma once
// Draws the whole time line (header, hour ticks and labels, shading, the
// selection, the grid and the recordings) at logical (0, 0) of a picture the
// size of its scroll area.
class QPainter;

namespace selection {

class TimeLineModel;

void PaintTimeLine(QPainter& painter, const TimeLineModel& model);

}  // namespace selection
