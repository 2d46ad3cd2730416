#pragma once
// One running program per user and data folder. The first start holds a lock
// file and listens on a local socket beside it; a later start finds the lock
// taken, tells the running program through the socket, and ends. A lock left
// by a program that died is taken over.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace quillbox::app {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // key names what must not run twice (the data folder); the socket and
    // lock live in $XDG_RUNTIME_DIR, else the temporary folder, under a name
    // made of the user's id and a digest of key.
    explicit SingleInstance(const QString& key);
    ~SingleInstance() override;

    enum class Outcome {
        First,      // this start runs; messages arrive through onMessage
        Told,       // another runs and has answered the message
        Unanswered  // another runs (the lock is held) but did not answer
    };
    struct Claim {
        Outcome outcome = Outcome::First;
        QString reply;  // the running program's answer (Told)
    };
    // Takes the lock or hands message (one line) to the program that holds it
    // and waits up to waitMilliseconds for its one-line answer.
    Claim claim(const QString& message, int waitMilliseconds = 3000);

    // Called with each line a later start sends; returns the answer line.
    std::function<QString(const QString&)> onMessage;

    QString socketPath() const { return m_socketPath; }

  private:
    void takeConnection();

    QString m_socketPath;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

}  // namespace quillbox::app
