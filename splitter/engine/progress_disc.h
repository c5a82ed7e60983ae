// The progress disc: a white disc that fills with red sectors, one step per archive member,
// drawn through SplitCanvas into the main window's client area.
#pragma once

// The drawing surface of the progress disc. Coordinates are client pixels. The pen is the red
// pen of width 1; brushes are solid. Every operation does nothing by default, so a front end
// without a disc (the terminal, a window without a device context) uses the base as it is.
class SplitCanvas {
  public:
    virtual void selectRedPen() {}      // create and select the red pen
    virtual void selectWhiteBrush() {}  // create and select a white brush
    virtual void selectRedBrush() {}    // create and select a red brush
    virtual void restoreBrush() {}      // select the previous brush back, delete ours
    virtual void restorePen() {}        // select the previous pen back, delete ours
    virtual void ellipse(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/) {}
    // Sector of the ellipse in the rectangle, counter-clockwise from (x1, y1) to (x2, y2).
    virtual void pie(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/, int /*x1*/,
                     int /*y1*/, int /*x2*/, int /*y2*/) {}
    virtual void line(int /*x1*/, int /*y1*/, int /*x2*/, int /*y2*/) {}

  protected:
    ~SplitCanvas() = default;
};

// The disc: centre (510, 143), radius 43, in client coordinates.
constexpr int kPieCentreX = 510;
constexpr int kPieCentreY = 143;
constexpr int kPieRadius = 43;
// The disc's bounding rectangle, through which the window erases it after a split.
constexpr int kPieLeft = kPieCentreX - kPieRadius;    // 467
constexpr int kPieTop = kPieCentreY - kPieRadius;     // 100
constexpr int kPieRight = kPieCentreX + kPieRadius;   // 553
constexpr int kPieBottom = kPieCentreY + kPieRadius;  // 186

// One split's disc. The calls come in this order: drawEmpty, startFilling once the unpacker
// file is written, nextStep after every further member but the last, lastStep after the last
// one, and release in any case before the canvas is handed back.
class ProgressDisc {
  public:
    explicit ProgressDisc(SplitCanvas* canvas) : canvas_(canvas) {}

    // The red pen and the empty white disc.
    void drawEmpty();
    // The red brush and the first member's sector of memberCount.
    void startFilling(int memberCount);
    // One more full member: the disc grows by one step.
    void nextStep();
    // The last member: a sector that starts a little before the previous end, or a radial
    // line in archives of very many members.
    void lastStep();
    // Selects the previous brush and pen back.
    void release();

  private:
    SplitCanvas* canvas_;
    int memberCount_ = 0;
    bool redBrush_ = false;
    float step_ = 0.0f;
    float endAngle_ = 0.0f;
};
