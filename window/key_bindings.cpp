#include "key_bindings.h"

#include <windows.h>

#include <iterator>

namespace {

constexpr Binding kBindings[] = {
    {Input::Key, VK_LEFT, kNoModifier, Action::ScrollLeft},
    {Input::Key, VK_RIGHT, kNoModifier, Action::ScrollRight},
    {Input::Key, VK_UP, kNoModifier, Action::ScrollUp},
    {Input::Key, VK_DOWN, kNoModifier, Action::ScrollDown},
    {Input::Key, VK_PRIOR, kNoModifier, Action::PageUp},
    {Input::Key, VK_NEXT, kNoModifier, Action::PageDown},
    {Input::Key, VK_HOME, kNoModifier, Action::Home},
    {Input::Key, VK_END, kNoModifier, Action::End},
    {Input::Character, '+', kNoModifier, Action::ZoomIn},
    {Input::Character, '-', kNoModifier, Action::ZoomOut},
    {Input::Key, 'F', kNoModifier, Action::Fit},
    {Input::Key, '1', kNoModifier, Action::ActualSize},
    {Input::Character, '=', kNoModifier, Action::ActualSize},
    {Input::Key, VK_SPACE, kAnyModifier, Action::ShowOriginal},
    {Input::Key, 'P', kNoModifier, Action::TogglePalette},
    {Input::Key, 'D', kNoModifier, Action::ToggleDifference},
    {Input::Key, VK_ESCAPE, kNoModifier, Action::Close},
    {Input::Key, 'Q', kNoModifier, Action::Close},
    {Input::Wheel, 0, kNoModifier, Action::WheelScrollVertical},
    {Input::Wheel, 0, kShiftModifier, Action::WheelScrollHorizontal},
    {Input::Wheel, 0, kControlModifier, Action::WheelZoom},
    {Input::LeftButton, 0, kAnyModifier, Action::Drag},
};

}  // namespace

std::optional<Action> boundAction(Input input, int code, unsigned modifiers) {
    if (input == Input::Character) modifiers &= ~kShiftModifier;
    for (const Binding& b : kBindings) {
        if (b.input != input || b.code != code) continue;
        if (b.modifiers == kAnyModifier || b.modifiers == modifiers) return b.action;
    }
    return std::nullopt;
}
