#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace corvane {

// What a screen reports or asks for, as plain callables handed in by its owner, so that a screen
// knows no other screen and tests can stand in for the platform.

// An intent without arguments: a button was pressed.
using Action = std::function<void()>;

// Opens a link in the user's default web browser; the screen is not told whether that worked.
using UrlOpener = std::function<void(const QUrl&)>;

// Replaces the clipboard's content with text, as plain text.
using TextCopier = std::function<void(const QString&)>;

} // namespace corvane
