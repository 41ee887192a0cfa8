#pragma once
// The update lock: an flock on a file in the directory, held while an update
// (or a recovery of one) runs. The kernel releases it when its holder dies,
// so a lock is never stale and never guessed at by age or process id. The
// file is opened read-only: one made by another user (root, say) in a folder
// everyone may write still serves everyone.

#include <QString>

#include <sys/types.h>

namespace phonebook::update {

class UpdateLock {
public:
    enum class State {
        Held,   // this lock is ours until destroyed or Release()d
        Busy,   // another update holds it
        Failed, // no lock file can be made here (see Error())
    };

    // Tries once, without waiting.
    explicit UpdateLock(const QString &directory);
    ~UpdateLock();
    UpdateLock(const UpdateLock &) = delete;
    UpdateLock &operator=(const UpdateLock &) = delete;

    State state() const { return m_state; }
    bool held() const { return m_state == State::Held; }
    // errno of the failure, for State::Failed.
    int error() const { return m_error; }
    // Path of the lock file.
    const QString &path() const { return m_path; }
    // Whether the held lock is still the file at path(): false once someone
    // has removed or replaced that file, when another update could take a new one.
    bool StillAtPath() const;
    void Release();

    // Whether an update holds the lock of `directory` now (read only: it
    // neither creates the file nor takes the lock).
    static bool HeldInDirectory(const QString &directory);

private:
    QString m_path;
    int m_fd = -1;
    int m_error = 0;
    State m_state = State::Failed;
};

} // namespace phonebook::update
