#pragma once
// Access to the shell for assistive technology and the keyboard: an accessible object for every
// interactive child, WinEvents when what they report changes, and a reading and tab order that follow
// the face from top to bottom and left to right.

namespace tovrak {

struct ShellContext;

// Called once the children exist. Puts them into reading order and gives each interactive one its
// accessible object; both stay until the window is destroyed.
void AttachShellAccessibility(ShellContext& shell) noexcept;

// Places the children in reading order, which is also their tab order.
void OrderShellChildren(const ShellContext& shell) noexcept;

// Raises a name, state or value change for every shown child whose accessible name, state or value
// differs from what was last announced; nothing when nothing changed.
void AnnounceShellChanges(const ShellContext& shell) noexcept;

}  // namespace tovrak
