#pragma once

#include <QSize>

class QWidget;

namespace velsend::gui::kit {

// Gives `window` the size it wants, but no more than the available area of
// the screen it opens on (the parent's, else the primary one), and centres
// it there: a window larger than a small screen hides its own buttons.
void FitToScreen(QWidget* window, QSize wanted, const QWidget* parent = nullptr);

// Moves `window` beside `owner` (right of it, else left of it), top edges
// level, kept wholly on the owner's screen: a helper window must not cover
// the form it helps with. Where the screen has no room beside the owner it
// goes right of `keepClear` (the part of the owner it must not cover),
// moving the owner left as far as that needs and the screen allows.
// Beside the windows already shown there it goes in one row, else in the
// free room they and `keepClear` leave. False when the screen has no room
// clear of them: it then goes where it would have gone alone.
bool PlaceBeside(QWidget* window, QWidget* owner, const QWidget* keepClear = nullptr);

// The largest size a window may take on that screen.
QSize ScreenRoom(const QWidget* parent = nullptr);

}  // namespace velsend::gui::kit
