// The skin keys and picture frames of the title bar, shared by the bar's
// styling and its buttons (see TitleBar.h).
#pragma once

#include <cstdint>

constexpr uint8_t TitleBar1 = 0, TitleBar2 = 1, TitleBar3 = 2, TitleBar4 = 3, TitleBar5 = 4;
constexpr uint8_t TitleButtonsKey = 11;
constexpr uint8_t TitleFontColorKey = 1, FormColorKey = 2, TransColorKey = 0;
constexpr uint8_t IconPosXKey = 0, IconPosYKey = 1, CaptionTopKey = 2, ButtonPosXKey = 3,
                  ButtonPosYKey = 4;
constexpr uint8_t FiveSectKey = 0, TitleBtnTransKey = 4;
constexpr int TitleButtonFrames = 18;
