#pragma once
// The progress through the hidden picture's code "#tuko", typed in the main
// window one character at a time. GUI-free: the caller acts on each step.

#include <QChar>
#include <QStringView>

namespace phonebook {

inline constexpr QStringView SecretCodeText = u"#tuko";

class SecretCodeCounter {
public:
    enum class Step {
        Advanced, // a right character in states 0 to 3: the counter went up by one
        Reset,    // a wrong character in states 0 to 3: the counter is back at 0
        Waiting,  // any character but the last in state 4: nothing changed
        Complete, // the last character in state 4: the counter is back at 0
    };

    // Feeds one typed character (compared case-sensitively) and says what it did.
    Step Feed(QChar c);
    // 0 to 4: how many characters of the code have been typed so far.
    int State() const { return m_state; }

private:
    int m_state = 0;
};

} // namespace phonebook
