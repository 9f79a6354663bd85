#include "cli/demo/DemoScenes.h"

#include "cli/demo/DemoFont.h"

#include <algorithm>
#include <array>
#include <string>

namespace vsr::cli::demo {

namespace {

struct TPoint {
    double X = 0;
    double Y = 0;
};

struct TKeyPoint {
    std::uint32_t Time;
    TPoint Position;
};

// The pointer's path: to the title bar, dragging the window, into the text, then to "Save".
constexpr std::array cPointerPath{
    TKeyPoint{0, {900, 650}},     TKeyPoint{5000, {300, 112}},  TKeyPoint{6000, {300, 112}},
    TKeyPoint{12000, {560, 232}}, TKeyPoint{13500, {470, 330}}, TKeyPoint{20000, {520, 340}},
    TKeyPoint{26000, {540, 350}}, TKeyPoint{28000, {840, 534}}, TKeyPoint{30000, {840, 534}},
};

constexpr std::uint32_t cDragStart = 6000;
constexpr std::uint32_t cDragEnd = 12000;
constexpr std::uint32_t cTypingStart = 14000;
constexpr std::uint32_t cMsPerCharacter = 120; // the text is complete before "Save"
constexpr std::uint32_t cSavedAt = 28200;
constexpr TPoint cGrab{180, 12}; // where the pointer holds the title bar
constexpr std::int32_t cWindowWidth = 520;
constexpr std::int32_t cWindowHeight = 340;

constexpr std::array<std::string_view, 4> cTypedLines{
    "HELLO FROM THE VSR PLAYER!", "THIS DESKTOP IS SYNTHETIC:", "EVERY FRAME IS DRAWN BY",
    "THE VSR TOOL ITSELF."};

double Eased(double t) {
    return t * t * (3 - 2 * t);
}

TPoint PointerAt(std::uint32_t time) {
    for (std::size_t i = 1; i < cPointerPath.size(); ++i) {
        const TKeyPoint& from = cPointerPath[i - 1];
        const TKeyPoint& to = cPointerPath[i];
        if (time > to.Time)
            continue;
        const double t = Eased(double(time - from.Time) / double(to.Time - from.Time));
        return {from.Position.X + (to.Position.X - from.Position.X) * t,
                from.Position.Y + (to.Position.Y - from.Position.Y) * t};
    }
    return cPointerPath.back().Position;
}

TPoint WindowAt(std::uint32_t time) {
    const TPoint pointer = PointerAt(std::clamp(time, cDragStart, cDragEnd));
    return {pointer.X - cGrab.X, pointer.Y - cGrab.Y};
}

TScreenPicture Desktop() {
    TScreenPicture picture(ScreenWidth, ScreenHeight);
    for (std::int32_t y = 0; y < ScreenHeight - 40; ++y)
        FillRect(picture, 0, y, ScreenWidth, 1,
                 0x0B4F6Cu + static_cast<std::uint32_t>(y / 12) * 0x000101u);
    const std::array<std::string_view, 3> icons{"HOME", "TRASH", "DEMO"};
    for (std::size_t i = 0; i < icons.size(); ++i) {
        const auto y = static_cast<std::int32_t>(30 + 100 * i);
        FillRect(picture, 34, y, 48, 40, 0xF2C14Eu);
        DrawText(picture, 58 - TextWidth(icons[i], 2) / 2, y + 50, icons[i], 2, 0xFFFFFFu);
    }
    FillRect(picture, 0, ScreenHeight - 40, ScreenWidth, 40, 0x202830u);
    FillRect(picture, 6, ScreenHeight - 34, 96, 28, 0x3A7D44u);
    DrawText(picture, 18, ScreenHeight - 27, "START", 2, 0xFFFFFFu);
    return picture;
}

void DrawClock(TScreenPicture& picture, std::uint32_t time) {
    const std::uint32_t seconds = time / 1000;
    std::string clock = "12:" + std::to_string(10 + seconds / 60) + ":";
    clock += (seconds % 60 < 10 ? "0" : "") + std::to_string(seconds % 60);
    DrawText(picture, ScreenWidth - 120, ScreenHeight - 27, clock, 2, 0xE0E0E0u);
}

void DrawTyped(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::uint32_t time) {
    std::size_t left = time < cTypingStart ? 0 : (time - cTypingStart) / cMsPerCharacter;
    std::int32_t caretX = x;
    std::int32_t caretY = y;
    for (const std::string_view line : cTypedLines) {
        const std::string_view shown = line.substr(0, std::min(left, line.size()));
        DrawText(picture, x, y, shown, 2, 0x202020u);
        caretX = x + static_cast<std::int32_t>(shown.size()) * 12;
        caretY = y;
        if (left <= line.size())
            break;
        left -= line.size() + 1; // the line break takes a keystroke too
        y += 24;
    }
    if ((time / 500) % 2 == 0)
        FillRect(picture, caretX, caretY - 2, 2, 18, 0x000000u);
}

void DrawWindow(TScreenPicture& picture, std::uint32_t time) {
    const TPoint at = WindowAt(time);
    const auto x = static_cast<std::int32_t>(at.X);
    const auto y = static_cast<std::int32_t>(at.Y);
    FillRect(picture, x + 6, y + 6, cWindowWidth, cWindowHeight, 0x06303Fu); // shadow
    FillRect(picture, x, y, cWindowWidth, cWindowHeight, 0xF4F4F4u);
    FillRect(picture, x, y, cWindowWidth, 28, 0x2F5DA8u);
    DrawText(picture, x + 10, y + 7, "NOTES - VSR DEMO", 2, 0xFFFFFFu);
    FillRect(picture, x + 16, y + 44, cWindowWidth - 32, 240, 0xFFFFFFu);
    DrawTyped(picture, x + 24, y + 56, time);
    const bool saved = time >= cSavedAt;
    FillRect(picture, x + 420, y + 300, 80, 28, saved ? 0x3A7D44u : 0xC8C8C8u);
    DrawText(picture, x + 436, y + 307, "SAVE", 2, saved ? 0xFFFFFFu : 0x202020u);
    if (saved)
        DrawText(picture, x + 20, y + 307, "SAVED.", 2, 0x3A7D44u);
}

} // namespace

TDemoScreen::TDemoScreen() : FDesktop(Desktop()) {}

TScreenPicture TDemoScreen::At(std::uint32_t time) const {
    TScreenPicture picture = FDesktop;
    DrawClock(picture, time);
    DrawWindow(picture, time);
    return picture;
}

std::vector<TCursorEntry> DemoCursorTrack(std::uint32_t stepMs) {
    std::vector<TCursorEntry> track;
    for (std::uint32_t time = 0; time < LengthMs; time += stepMs) {
        const TPoint at = PointerAt(time);
        track.push_back({time, static_cast<std::uint16_t>(at.X), static_cast<std::uint16_t>(at.Y)});
    }
    return track;
}

} // namespace vsr::cli::demo
