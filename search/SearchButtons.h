#pragma once
// The main window's tool-bar searches: each asks its question, runs the
// search on the main window's QTemp and has the main window present it.

namespace phonebook {

class TFrmMain;

// SpeedButton1: the telephone-number search, on the individuals or the
// organisations tab; on the organisation tab it does nothing.
void SpeedButton1Click(TFrmMain &main);
// SpeedButton2: the surname search, on the individuals tab only.
void SpeedButton2Click(TFrmMain &main);

} // namespace phonebook
