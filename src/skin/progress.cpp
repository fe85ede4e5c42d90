// CreateProgress: the installer's progress bar, a rounded anti-aliased capsule with a band that sweeps
// across the filled part while the installation runs.

#include "skin/progress.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "common/colours.h"
#include "common/export_guard.h"
#include "common/scaling.h"
#include "skin/installer_frame.h"
#include "skin/drawing.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

// The bar is rendered at three times its size and scaled down, which gives smooth ends on every GDI+.
constexpr int kSupersample = 3;
// The band crosses the bar in 2100 ms and rests for 700 ms.
constexpr DWORD kSweepPeriodMs = 2800;
constexpr DWORD kSweepTravelMs = 2100;
constexpr float kBandWidthPerHeight = 14.2f;

ProgressState* StateOf(HWND window) noexcept {
    return reinterpret_cast<ProgressState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

BOOL ClientAreaAnimationAllowed() noexcept {
    BOOL allowed = FALSE;
    if (!::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &allowed, 0)) return FALSE;
    return allowed;
}

// The timer runs only while there is something to animate.
void UpdateAnimation(HWND window, ProgressState& state) noexcept {
    state.animate = ClientAreaAnimationAllowed();
    ::KillTimer(window, kProgressTimerId);
    if (state.animate && state.percent >= 1 && state.percent <= 99)
        ::SetTimer(window, kProgressTimerId, kProgressFrameMs, nullptr);
}

// A capsule over (0, 0, width, height): two half circles joined by straight edges.
UniqueGpPath CapsulePath(float width, float height) noexcept {
    Gdiplus::GpPath* path = nullptr;
    if (gp::GdipCreatePath(Gdiplus::FillModeAlternate, &path) != Gdiplus::Ok) return {};
    UniqueGpPath capsule(path);
    const float diameter = std::min(width, height);
    gp::GdipAddPathArc(path, 0.0f, 0.0f, diameter, height, 90.0f, 180.0f);
    gp::GdipAddPathArc(path, width - diameter, 0.0f, diameter, height, 270.0f, 180.0f);
    gp::GdipClosePathFigure(path);
    return capsule;
}

void FillPath(Gdiplus::GpGraphics* graphics, const UniqueGpPath& path, COLORREF colour) noexcept {
    const UniqueGpBrush brush = CreateSolidFill(ArgbFromColorref(colour));
    if (path && brush) gp::GdipFillPath(graphics, brush.get(), path.get());
}

// Whether (x, y) lies inside the capsule over (0, 0, width, height) whose ends are half ellipses of
// min(width, height) × height, as the capsule path draws it.
bool InsideCapsule(float x, float y, float width, float height) noexcept {
    if (x < 0.0f || x > width || y < 0.0f || y > height) return false;
    const float radiusX = std::min(width, height) / 2.0f, radiusY = height / 2.0f;
    const float left = radiusX, right = width - radiusX;
    const float dx = x < left ? (x - left) / radiusX : x > right ? (x - right) / radiusX : 0.0f;
    const float dy = (y - radiusY) / radiusY;
    return dx == 0.0f || dx * dx + dy * dy <= 1.0f;
}

std::uint32_t Blend(Argb from, Argb to, float t) noexcept {
    auto channel = [&](int shift) {
        const float a = static_cast<float>((from >> shift) & 0xFF),
                    b = static_cast<float>((to >> shift) & 0xFF);
        return static_cast<std::uint32_t>(a + (b - a) * t + 0.5f) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// The sweep band: a horizontal gradient fillColor → highlightColor → fillColor, clipped to the filled
// capsule. It is written straight into the frame: a gradient brush under a path clip is by far the
// slowest thing GDI+ would do in a frame, and the band needs no more than one colour per column.
void DrawSweep(std::uint32_t* frame, int width, int height, float filledWidth,
               const ProgressState& state) noexcept {
    const DWORD phase = (::GetTickCount() - state.startTick) % kSweepPeriodMs;
    if (phase >= kSweepTravelMs) return;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float band = kBandWidthPerHeight * h;
    const float left = static_cast<float>(phase) * (band + w) / static_cast<float>(kSweepTravelMs) - band;
    const Argb edge = ArgbFromColorref(state.fillColor), middle = ArgbFromColorref(state.highlightColor);
    const int frameWidth = width * kSupersample, frameHeight = height * kSupersample;
    for (int column = 0; column < frameWidth; ++column) {
        const float x = (static_cast<float>(column) + 0.5f) / kSupersample;
        if (x < left || x >= left + band || x > filledWidth) continue;
        const float t = (x - left) / band;
        const std::uint32_t colour =
            t < 0.5f ? Blend(edge, middle, t * 2.0f) : Blend(middle, edge, t * 2.0f - 1.0f);
        for (int row = 0; row < frameHeight; ++row) {
            const float y = (static_cast<float>(row) + 0.5f) / kSupersample;
            if (InsideCapsule(x, y, filledWidth, h)) frame[size_t(row) * frameWidth + column] = colour;
        }
    }
}

// Each shown pixel is the mean of the 3 × 3 frame pixels it covers, rounded.
void DownsampleThreeFold(const std::uint32_t* frame, int width, int height, std::uint32_t* shown) noexcept {
    const size_t stride = size_t(width) * kSupersample;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned red = 0, green = 0, blue = 0;
            const std::uint32_t* block = frame + size_t(y) * kSupersample * stride + size_t(x) * kSupersample;
            for (int row = 0; row < kSupersample; ++row, block += stride) {
                for (int column = 0; column < kSupersample; ++column) {
                    red += (block[column] >> 16) & 0xFF;
                    green += (block[column] >> 8) & 0xFF;
                    blue += block[column] & 0xFF;
                }
            }
            constexpr unsigned kCount = kSupersample * kSupersample;
            shown[size_t(y) * width + x] = (((red + kCount / 2) / kCount) << 16) |
                                           (((green + kCount / 2) / kCount) << 8) |
                                           ((blue + kCount / 2) / kCount);
        }
    }
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // A window of this class created by someone else may come without creation data: it starts empty.
        const auto* creation =
            static_cast<const ProgressState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        auto* state =
            creation ? new (std::nothrow) ProgressState(*creation) : new (std::nothrow) ProgressState;
        if (!state) return FALSE;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    ProgressState* state = StateOf(window);
    if (!state) return ::DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case kSetProgressMessage:
            state->percent = static_cast<UINT>(std::min<WPARAM>(wParam, 100));
            UpdateAnimation(window, *state);
            ::InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_SETTINGCHANGE:
            UpdateAnimation(window, *state);
            break;
        case WM_TIMER:
            if (wParam != kProgressTimerId) break;
            if (::IsWindowVisible(window)) ::InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_PAINT: {
            PaintScope paint(window);
            RECT client{};
            ::GetClientRect(window, &client);
            PaintProgress(paint.dc(), client.right, client.bottom, *state);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT client{};
            ::GetClientRect(window, &client);
            PaintProgress(reinterpret_cast<HDC>(wParam), client.right, client.bottom, *state);
            return 0;
        }
        case WM_NCDESTROY:
            ::KillTimer(window, kProgressTimerId);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete state;
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterProgressClass() noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ProgressWindowProc;
    windowClass.hInstance = libraryModule;
    windowClass.lpszClassName = kProgressClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

void PaintProgress(HDC dc, int width, int height, const ProgressState& state) noexcept {
    if (width <= 0 || height <= 0) return;
    // The frame lives in a buffer of our own that starts out in the background colour, and its 3 × 3 pixel
    // blocks are averaged straight into the window: a clear and a scaled DrawImage onto the window's DC
    // cost more than all the shapes together, and nothing of the frame outlives the paint.
    const int frameWidth = width * kSupersample, frameHeight = height * kSupersample;
    const std::unique_ptr<std::uint32_t[]> pixels(new (std::nothrow)
                                                      std::uint32_t[size_t(frameWidth) * frameHeight]);
    const std::unique_ptr<std::uint32_t[]> shown(new (std::nothrow) std::uint32_t[size_t(width) * height]);
    if (!pixels || !shown) return;
    std::fill_n(pixels.get(), size_t(frameWidth) * frameHeight, ArgbFromColorref(state.backgroundColor));
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float filledWidth = static_cast<float>(state.percent) * w / 100.0f;
    {
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (gp::GdipCreateBitmapFromScan0(frameWidth, frameHeight, frameWidth * 4, PixelFormat32bppRGB,
                                          reinterpret_cast<BYTE*>(pixels.get()), &bitmap) != Gdiplus::Ok)
            return;
        const UniqueGpImage frame(bitmap);
        const UniqueGpGraphics graphics = GraphicsOnImage(frame);
        if (!graphics) return;
        gp::GdipScaleWorldTransform(graphics.get(), kSupersample, kSupersample, Gdiplus::MatrixOrderPrepend);
        gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);

        FillPath(graphics.get(), CapsulePath(w, h), state.trackColor);
        if (filledWidth > 0.0f) {
            FillPath(graphics.get(), CapsulePath(filledWidth, h),
                     state.percent >= 100 ? state.highlightColor : state.fillColor);
        }
        gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    }
    if (filledWidth > 0.0f && state.animate && state.percent <= 99)
        DrawSweep(pixels.get(), width, height, filledWidth, state);
    DownsampleThreeFold(pixels.get(), width, height, shown.get());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, shown.get(), &info, DIB_RGB_COLORS);
}

namespace {

HWND CreateProgressWindow(HWND parent, std::uint32_t dpi, COLORREF trackColor, COLORREF fillColor,
                          COLORREF highlightColor, COLORREF backgroundColor) noexcept {
    if (!::IsWindow(parent) || !IsSupportedDpi(dpi)) return nullptr;
    if (!EnsureSkinGdiplus()) return nullptr;
    if (!RegisterProgressClass()) return nullptr;
    ProgressState creation{0,         ::GetTickCount(), FALSE,          trackColor,
                           fillColor, highlightColor,   backgroundColor};
    const UnitRect& place = kProgressBarRect;
    return ::CreateWindowExW(0, kProgressClassName, L"", WS_CHILD | WS_VISIBLE | WS_DISABLED,
                             Scale(place.x, dpi), Scale(place.y, dpi), Scale(place.width, dpi),
                             Scale(place.height, dpi), parent, nullptr, libraryModule, &creation);
}

}  // namespace
}  // namespace tovrak::skin

extern "C" HWND TOVRAK_CALL CreateProgress(HWND parent, uint32_t dpi, COLORREF trackColor, COLORREF fillColor,
                                           COLORREF highlightColor, COLORREF backgroundColor) noexcept {
    return tovrak::GuardExport<HWND>(nullptr, tovrak::skin::CreateProgressWindow, parent, dpi, trackColor,
                                     fillColor, highlightColor, backgroundColor);
}
