// The split engine's Win32 side: message boxes, the title, the beep, closing the window, and
// the progress disc drawn with GDI straight into the main window's client area.
#include <stdio.h>

#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/engine/split_engine.h"
#include "splitter/ui/main_window.h"

namespace {

class WindowCanvas : public SplitCanvas {
  public:
    void attach(HDC dc) { dc_ = dc; }
    HDC dc() const { return dc_; }

    void selectRedPen() override {
        pen_ = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        previousPen_ = SelectObject(dc_, pen_);
    }
    void selectWhiteBrush() override { selectBrush(RGB(255, 255, 255)); }
    void selectRedBrush() override { selectBrush(RGB(255, 0, 0)); }
    void restoreBrush() override {
        if (brush_ != nullptr) {
            SelectObject(dc_, previousBrush_);
            DeleteObject(brush_);
            brush_ = nullptr;
        }
    }
    void restorePen() override {
        if (pen_ != nullptr) {
            SelectObject(dc_, previousPen_);
            DeleteObject(pen_);
            pen_ = nullptr;
        }
    }
    void ellipse(int left, int top, int right, int bottom) override {
        Ellipse(dc_, left, top, right, bottom);
    }
    void pie(int left, int top, int right, int bottom, int x1, int y1, int x2, int y2) override {
        Pie(dc_, left, top, right, bottom, x1, y1, x2, y2);
    }
    void line(int x1, int y1, int x2, int y2) override {
        MoveToEx(dc_, x1, y1, nullptr);
        LineTo(dc_, x2, y2);
    }

  private:
    void selectBrush(COLORREF colour) {
        restoreBrush();
        brush_ = CreateSolidBrush(colour);
        previousBrush_ = SelectObject(dc_, brush_);
    }

    HDC dc_ = nullptr;
    HPEN pen_ = nullptr;
    HGDIOBJ previousPen_ = nullptr;
    HBRUSH brush_ = nullptr;
    HGDIOBJ previousBrush_ = nullptr;
};

class WindowSplitUi : public SplitUi {
  public:
    bool message(MessageKind kind, const char* caption, const char* text) override {
        UINT style = MB_OK | MB_ICONERROR;
        if (kind == kMessageInfo) {
            style = MB_OK | MB_ICONINFORMATION;
        } else if (kind == kMessageQuestion) {
            style = MB_YESNO;
        }
        return MessageBoxA(gMainWindow, text, caption, style) == IDYES;
    }
    void setTitle(const char* title) override { SetWindowTextA(gMainWindow, title); }
    void beep() override { MessageBeep(0xFFFFFFFF); }
    void closeMainWindow() override { SendMessageA(gMainWindow, WM_CLOSE, 0, 0); }
    SplitCanvas* acquireCanvas() override {
        HDC dc = GetDC(gMainWindow);
        if (dc == nullptr) {
            return nullptr;
        }
        canvas_.attach(dc);
        return &canvas_;
    }
    void releaseCanvas(SplitCanvas* canvas) override {
        if (canvas == nullptr) {
            return;
        }
        canvas_.restoreBrush();
        canvas_.restorePen();
        ReleaseDC(gMainWindow, canvas_.dc());
        canvas_.attach(nullptr);
    }
    FILE* openCarriedImage() override {
        char path[kPathBufferSize];
        ownExecutablePath(path, sizeof(path));
        if (path[0] == '\0') {
            return nullptr;
        }
        FILE* file = fopen(path, "rb");
        if (file != nullptr && fseek(file, kUnpackerImageOffset, SEEK_SET) != 0) {
            fclose(file);
            file = nullptr;
        }
        return file;
    }
    void ownExecutablePath(char* out, unsigned size) override {
        platformOwnExecutablePath(out, size);
    }

  private:
    WindowCanvas canvas_;
};

}  // namespace

RECT pieRect() {
    RECT rect = {kPieLeft, kPieTop, kPieRight, kPieBottom};
    return rect;
}

bool runSplitEngine() {
    WindowSplitUi ui;
    return splitFile(&gState, &ui);
}
