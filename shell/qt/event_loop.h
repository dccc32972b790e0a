// What the window and the console share of Qt's event loop.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

class QCoreApplication;

namespace zelmo {

// Calls onReadable on the window thread whenever handle can be read.
void notifyOnReadable(QObject* parent, intptr_t handle, std::function<void()> onReadable);

// The system's decimal separator, or "." where it is not one ASCII character.
char systemDecimalSeparator();
// Installs the toolkit's translations and number format for the user's language.
void installToolkitLanguage(QCoreApplication& app);

}  // namespace zelmo
