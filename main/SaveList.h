#pragma once
// "Файл" → "Сохранить список…": the list shown, every row of its result, into
// a CSV file that spreadsheets open directly.

#include <QString>

namespace phonebook {

class TFrmMain;

// Asks for a file name and writes the list shown, with a progress dialog that
// can cancel. A failure is reported in a message and leaves no partial file
// under the chosen name. Returns whether a file was written.
bool SaveShownList(TFrmMain &main);

} // namespace phonebook
