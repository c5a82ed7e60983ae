// The split engine's Win32 side: the carried image, message boxes, the title, the progress disc
// drawn with GDI straight into the main window's client area, the window's messages between
// blocks, and the beep and close after a split when the settings ask for it.
//
// The split runs on the window's thread: the engine asks stopRequested between blocks, and
// the window answers its waiting messages there (paint, the close box, Esc, moving and
// minimising). One thread keeps the engine's calls into the window (the title, the disc, the
// message boxes) where Win32 wants them, and needs no locking of the shared state.
#include <errno.h>
#include <stdio.h>

#include "archive/format.h"
#include "archive/message_text.h"
#include "platform/platform.h"
#include "splitter/engine/split_engine.h"
#include "splitter/ui/main_window.h"

namespace {

const char kTextStopQuestion[] = "Прервать разбиение файла?";
const char kTextNoImage[] = "Не могу прочитать программу распаковки из %s!";
// How often the window's messages are answered during a split, in milliseconds: often enough
// for the window to follow the mouse, rarely enough to cost the copy nothing.
constexpr DWORD kAnswerInterval = 40;

// One drawing of the disc's filling: the last two are kept, which is the whole filling (every
// sector starts at the disc's top, and the last step adds one more).
struct DiscFill {
    bool isPie;
    int x1, y1, x2, y2;
};

class WindowCanvas : public SplitCanvas {
  public:
    void attach(HDC dc) { dc_ = dc; }
    HDC dc() const { return dc_; }

    // Draws the disc again, as far as the split has drawn it, into dc.
    void repaint(HDC dc) const {
        if (!drawnEmpty_) {
            return;
        }
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, white);
        Ellipse(dc, kPieLeft, kPieTop, kPieRight, kPieBottom);
        SelectObject(dc, red);
        for (int i = 0; i < fillCount_; ++i) {
            const DiscFill& f = fills_[i];
            if (f.isPie) {
                Pie(dc, kPieLeft, kPieTop, kPieRight, kPieBottom, f.x1, f.y1, f.x2, f.y2);
            } else {
                MoveToEx(dc, f.x1, f.y1, nullptr);
                LineTo(dc, f.x2, f.y2);
            }
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(red);
        DeleteObject(white);
        DeleteObject(pen);
    }

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
        drawnEmpty_ = true;
    }
    void pie(int left, int top, int right, int bottom, int x1, int y1, int x2, int y2) override {
        Pie(dc_, left, top, right, bottom, x1, y1, x2, y2);
        remember(DiscFill{true, x1, y1, x2, y2});
    }
    void line(int x1, int y1, int x2, int y2) override {
        MoveToEx(dc_, x1, y1, nullptr);
        LineTo(dc_, x2, y2);
        remember(DiscFill{false, x1, y1, x2, y2});
    }

  private:
    void selectBrush(COLORREF colour) {
        restoreBrush();
        brush_ = CreateSolidBrush(colour);
        previousBrush_ = SelectObject(dc_, brush_);
    }

    void remember(const DiscFill& fill) {
        if (fillCount_ == kKeptFills) {
            fills_[0] = fills_[1];
            fillCount_ = 1;
        }
        fills_[fillCount_++] = fill;
    }

    static constexpr int kKeptFills = 2;
    bool drawnEmpty_ = false;
    DiscFill fills_[kKeptFills] = {};
    int fillCount_ = 0;
    HDC dc_ = nullptr;
    HPEN pen_ = nullptr;
    HGDIOBJ previousPen_ = nullptr;
    HBRUSH brush_ = nullptr;
    HGDIOBJ previousBrush_ = nullptr;
};

// The split that runs now, if any.
struct SplitRun {
    bool running;  // from the start of the engine to its end
    bool stop;     // the user chose to stop it
    bool asking;   // the stop question is shown
    const WindowCanvas* disc;
};
SplitRun gRun;

// Key and mouse input into the form does nothing while the split runs. The system keys (Alt+F4,
// the window menu) and the frame (moving, minimising, the close box) still work.
bool isFormInput(const MSG& msg) {
    bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
               msg.message != WM_SYSKEYDOWN && msg.message != WM_SYSKEYUP &&
               msg.message != WM_SYSCHAR;
    bool mouse = msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST;
    return key || mouse;
}

void askToStop() {
    if (gRun.stop || gRun.asking) {
        return;
    }
    gRun.asking = true;
    // The split waits while the question is shown; the window still repaints.
    gRun.stop = MessageBoxA(gMainWindow, kTextStopQuestion, kCaptionQuestion, MB_YESNO) == IDYES;
    gRun.asking = false;
}

// Answers what waits in the thread's queue.
void answerMessages() {
    MSG msg;
    while (!gRun.stop && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop
            return;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            askToStop();
            continue;
        }
        if (isFormInput(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class WindowSplitUi : public SplitUi {
  public:
    const WindowCanvas* disc() const { return &canvas_; }

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
    bool stopRequested() override {
        DWORD now = GetTickCount();
        if (now - lastAnswer_ >= kAnswerInterval) {
            answerMessages();
            lastAnswer_ = GetTickCount();
        }
        return gRun.stop;
    }
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

  private:
    WindowCanvas canvas_;
    DWORD lastAnswer_ = GetTickCount();
};

}  // namespace

RECT pieRect() {
    RECT rect = {kPieLeft, kPieTop, kPieRight, kPieBottom};
    return rect;
}

namespace {

// The image this program carries at kUnpackerImageOffset of its own file, read whole.
unsigned char gImage[kUnpackerImageSize];

// Adds the carried image to the request (ownPath names it); false, the user told, when the
// program's own file cannot be read there.
bool addCarriedImage(SplitRequest* request, const char* ownPath, SplitUi* ui) {
    FILE* file = ownPath[0] != '\0' ? fopen(ownPath, "rb") : nullptr;
    if (file != nullptr && fseek(file, kUnpackerImageOffset, SEEK_SET) != 0) {
        fclose(file);
        file = nullptr;
    }
    if (file == nullptr) {
        int reason = errno;
        char text[kSplitMessageSize];
        formatText(text, sizeof text, kTextNoImage, ownPath);
        errno = reason;
        ui->message(kMessageError, kCaptionError, text);
        return false;
    }
    request->image = gImage;
    request->imageBytes = static_cast<unsigned>(fread(gImage, 1, sizeof gImage, file));
    request->imageFile = ownPath;
    fclose(file);
    return true;
}

}  // namespace

bool runSplitEngine(SplitRequest request, const SplitPlan& plan, const char* ownPath) {
    WindowSplitUi ui;
    gRun = SplitRun{true, false, false, ui.disc()};
    bool done = false;
    if (plan.refusal != kSplitPlanned) {
        tellRefusal(plan, &ui);
    } else if (addCarriedImage(&request, ownPath, &ui)) {
        done = splitFile(request, plan, &ui);
    }
    gRun = SplitRun{false, false, false, nullptr};
    // Closing after a split: no "Готово!", a beep, and the normal way out (the settings saved).
    if (done && gState.closeAfterFinish != 0) {
        MessageBeep(0xFFFFFFFF);
        SendMessageA(gMainWindow, WM_CLOSE, 0, 0);
    }
    return done;
}

bool splitRunning() {
    return gRun.running;
}

bool paintDuringSplit(HWND window) {
    if (!gRun.running || gRun.disc == nullptr) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr) {
        gRun.disc->repaint(dc);
    }
    EndPaint(window, &paint);
    return true;
}

bool closeDuringSplit() {
    if (!gRun.running) {
        return false;
    }
    askToStop();
    return true;
}
