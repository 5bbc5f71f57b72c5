#pragma once
namespace cg {
// Registers every window the menus, the navigation window and the hot keys open.
void RegisterWindows();
}
