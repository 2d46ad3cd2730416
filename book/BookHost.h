#pragma once
// What the Book library may ask of the program outside the arguments of a
// call: processing the window's messages while the account update waits for
// the store, and showing a message box when a caller asks for boxes. The
// program registers both once (SetBookHost); without them the library waits
// without processing messages and shows no boxes.

#include <string_view>

#include "common/HostObjects.h"
#include "contracts/Book.h"

namespace quillbox::book {

// Registers the host; either may be null. The application must stay alive
// until it is replaced or the library is unloaded.
void setBookHost(TApplication* application, TBookMessageBox showMessage);

// Processes the application's messages when a host application is registered.
void processHostMessages();

// Whether the registered host application asks to stop (false without one).
bool hostCancelled();

// Shows the windows-1251 text in a message box when a host registered one.
void showHostMessage(std::string_view ansiText);

}  // namespace quillbox::book
