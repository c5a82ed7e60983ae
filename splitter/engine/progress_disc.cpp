#include "splitter/engine/progress_disc.h"

#include <math.h>

namespace {

// The disc turns by a little less than a full circle over the whole split. The quotient by
// the member count is taken in double precision and only then held as a float.
constexpr double kFullTurn = 6.2831852;
constexpr double kHalfTurn = 3.14159265358979323846;
// The last member's sector starts this far before the previous end angle.
constexpr double kLastSectorLead = 0.02;
// Above this member count the last step is drawn as a radial line instead of a sector.
constexpr int kLineAboveCount = 199;

void rimPoint(float angle, int* x, int* y) {
    double a = angle;
    *x = static_cast<int>(kPieCentreX + kPieRadius * sin(a));
    *y = static_cast<int>(kPieCentreY + kPieRadius * cos(a));
}

// The two points lie on one ray from the disc's centre: the same pixel, or the same direction.
bool onOneRay(int x1, int y1, int x2, int y2) {
    long dx1 = x1 - kPieCentreX;
    long dy1 = y1 - kPieCentreY;
    long dx2 = x2 - kPieCentreX;
    long dy2 = y2 - kPieCentreY;
    return dx1 * dy2 - dy1 * dx2 == 0 && dx1 * dx2 + dy1 * dy2 > 0;
}

void drawSector(SplitCanvas* canvas, float from, float to) {
    int x1, y1, x2, y2;
    rimPoint(from, &x1, &y1);
    rimPoint(to, &x2, &y2);
    // Pie takes rim points on one ray for a whole turn. A sector of less than half a turn
    // whose points truncate onto one ray (the first steps of a large archive) is only a
    // sliver: it is drawn as the radial line, so that the disc does not fill at once.
    if (to - from < kHalfTurn && onOneRay(x1, y1, x2, y2)) {
        canvas->line(kPieCentreX, kPieCentreY, x2, y2);
        return;
    }
    canvas->pie(kPieLeft, kPieTop, kPieRight, kPieBottom, x1, y1, x2, y2);
}

}  // namespace

void ProgressDisc::drawEmpty() {
    canvas_->selectRedPen();
    canvas_->selectWhiteBrush();
    canvas_->ellipse(kPieLeft, kPieTop, kPieRight, kPieBottom);
    canvas_->restoreBrush();
}

void ProgressDisc::startFilling(int memberCount) {
    memberCount_ = memberCount;
    canvas_->selectRedBrush();
    redBrush_ = true;
    step_ = static_cast<float>(kFullTurn / memberCount);
    endAngle_ = step_;
    drawSector(canvas_, 0.0f, endAngle_);
}

void ProgressDisc::nextStep() {
    endAngle_ += step_;
    drawSector(canvas_, 0.0f, endAngle_);
}

void ProgressDisc::lastStep() {
    float start = static_cast<float>(endAngle_ - kLastSectorLead);
    endAngle_ += step_;
    if (memberCount_ > kLineAboveCount) {
        int x, y;
        rimPoint(start, &x, &y);
        canvas_->line(kPieCentreX, kPieCentreY, x, y);
    } else {
        drawSector(canvas_, start, endAngle_);
    }
}

void ProgressDisc::release() {
    if (redBrush_) {
        canvas_->restoreBrush();
        redBrush_ = false;
    }
    canvas_->restorePen();
}
