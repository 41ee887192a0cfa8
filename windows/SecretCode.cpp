#include "SecretCode.h"

namespace phonebook {

SecretCodeCounter::Step SecretCodeCounter::Feed(QChar c)
{
    const int last = static_cast<int>(SecretCodeText.size()) - 1;
    if (m_state == last) {
        // The first four characters typed, the window waits for the last one
        // however many other characters come in between.
        if (c != SecretCodeText[last])
            return Step::Waiting;
        m_state = 0;
        return Step::Complete;
    }
    // A wrong character starts the code again without counting as its first
    // character, even when it is one.
    if (c != SecretCodeText[m_state]) {
        m_state = 0;
        return Step::Reset;
    }
    ++m_state;
    return Step::Advanced;
}

} // namespace phonebook
