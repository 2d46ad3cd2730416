#pragma once
// The window's objects as the libraries see them. The program implements these
// over its toolkit; tests implement them with fakes. They cross the library
// boundary as pointers; the caller owns them and keeps them alive for the call.

#include <string>

// The running application.
class TApplication {
  public:
    virtual ~TApplication() = default;
    // Handles pending window events (repaint, timers); returns promptly.
    virtual void ProcessMessages() = 0;
    // Full path of the program's executable.
    virtual std::string ExeName() const = 0;
    // Whether the user asked to stop the running operation. The libraries ask
    // it at every wait (after processing messages) and, when it answers true,
    // stop with their failure code, leaving no partial file and the caller's
    // records unchanged. The default never cancels.
    virtual bool Cancelled() { return false; }
};

class TProgressBar {
  public:
    virtual ~TProgressBar() = default;
    virtual void SetPosition(int position) = 0;
};

// The percent label beside the progress bar.
class TLabel {
  public:
    virtual ~TLabel() = default;
    // caption: zero-terminated ANSI text.
    virtual void SetCaption(const char* caption) = 0;
};

// The hidden web browser. Navigate starts loading a page and returns; the
// document-complete handler runs later, from the application's event processing.
class TWebBrowser {
  public:
    using DocumentCompleteHandler = void (*)(void* context);

    virtual ~TWebBrowser() = default;
    // Replaces the handler called when a navigation finishes (success or not).
    virtual void SetOnDocumentComplete(DocumentCompleteHandler handler, void* context) = 0;
    virtual void Navigate(const std::string& url) = 0;
};
