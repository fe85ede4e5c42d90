// CreateProgress: the installer's progress bar, a rounded anti-aliased capsule with a band that sweeps
// across the filled part while the installation runs.

#include "skin/progress.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "common/colours.h"
#include "common/scaling.h"
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

void DrawSweep(Gdiplus::GpGraphics* graphics, const UniqueGpPath& filled, float width, float height,
               const ProgressState& state) noexcept {
    const DWORD phase = (::GetTickCount() - state.startTick) % kSweepPeriodMs;
    if (phase >= kSweepTravelMs || !filled) return;
    const float band = kBandWidthPerHeight * height;
    const float left = static_cast<float>(phase) * (band + width) / static_cast<float>(kSweepTravelMs) - band;
    const Gdiplus::PointF from(left, 0.0f), to(left + band, 0.0f);
    const Argb edge = ArgbFromColorref(state.fillColor);
    Gdiplus::GpLineGradient* gradient = nullptr;
    if (gp::GdipCreateLineBrush(&from, &to, edge, edge, Gdiplus::WrapModeTile, &gradient) != Gdiplus::Ok)
        return;
    const UniqueGpBrush brush(gradient);
    const Gdiplus::ARGB colours[3] = {edge, ArgbFromColorref(state.highlightColor), edge};
    const float positions[3] = {0.0f, 0.5f, 1.0f};
    gp::GdipSetLinePresetBlend(gradient, colours, positions, 3);
    gp::GdipSetClipPath(graphics, filled.get(), Gdiplus::CombineModeReplace);
    gp::GdipFillRectangle(graphics, brush.get(), left, 0.0f, band, height);
    gp::GdipResetClip(graphics);
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
    const UniqueGpImage frame = CreateRgbBitmap(width * kSupersample, height * kSupersample);
    {
        const UniqueGpGraphics graphics = GraphicsOnImage(frame);
        if (!graphics) return;
        gp::GdipGraphicsClear(graphics.get(), ArgbFromColorref(state.backgroundColor));
        gp::GdipScaleWorldTransform(graphics.get(), kSupersample, kSupersample, Gdiplus::MatrixOrderPrepend);
        gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);

        const float w = static_cast<float>(width), h = static_cast<float>(height);
        FillPath(graphics.get(), CapsulePath(w, h), state.trackColor);
        const float filledWidth = static_cast<float>(state.percent) * w / 100.0f;
        if (filledWidth > 0.0f) {
            const UniqueGpPath filled = CapsulePath(filledWidth, h);
            FillPath(graphics.get(), filled, state.percent >= 100 ? state.highlightColor : state.fillColor);
            if (state.animate && state.percent <= 99) DrawSweep(graphics.get(), filled, w, h, state);
        }
    }
    const UniqueGpGraphics target = GraphicsOnDc(dc);
    if (!target) return;
    gp::GdipSetInterpolationMode(target.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPixelOffsetMode(target.get(), Gdiplus::PixelOffsetModeHalf);
    gp::GdipDrawImageRect(target.get(), frame.get(), 0.0f, 0.0f, static_cast<float>(width),
                          static_cast<float>(height));
}

}  // namespace tovrak::skin

using namespace tovrak;
using namespace tovrak::skin;

extern "C" HWND __stdcall CreateProgress(HWND parent, uint32_t dpi, COLORREF trackColor, COLORREF fillColor,
                                         COLORREF highlightColor, COLORREF backgroundColor) noexcept {
    if (!::IsWindow(parent) || !IsSupportedDpi(dpi)) return nullptr;
    if (!EnsureSkinGdiplus()) return nullptr;
    if (!RegisterProgressClass()) return nullptr;
    ProgressState creation{0,         ::GetTickCount(), FALSE,          trackColor,
                           fillColor, highlightColor,   backgroundColor};
    return ::CreateWindowExW(0, kProgressClassName, L"", WS_CHILD | WS_VISIBLE | WS_DISABLED, Scale(184, dpi),
                             Scale(339, dpi), Scale(333, dpi), Scale(9, dpi), parent, nullptr, libraryModule,
                             &creation);
}
