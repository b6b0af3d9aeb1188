// The main window's own stored skin: the bytes of a skin file, made at build
// time by mkksk from MainWindowSkin.txt.
#pragma once

#include <cstdint>
#include <span>

std::span<const uint8_t> MainWindowSkinData();
