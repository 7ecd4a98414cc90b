#pragma once

#include <QImage>

// The welcome window's illustration: a web page being dropped in, drawn here
// (no image file), on white so it sits on the window's background.
constexpr int kWelcomePictureSize = 178;

QImage drawWelcomePicture();
