#include "UpdateWindow.h"

#include "EditionWatcher.h"
#include "UMain.h"
#include "UUpdate.h"

namespace phonebook {

TFrmUpdate *CreateUpdateWindow(TFrmMain &main)
{
    auto *watcher = new update::EditionWatcher(main.Paths().tables, &main);
    auto *dialog = new TFrmUpdate(main, watcher, &main);
    main.SetCommand(Command::Update, [dialog] { dialog->Open(); });
    QObject::connect(watcher, &update::EditionWatcher::NewEdition, &main, [&main] {
        main.LoadDirectory(nullptr);
        main.SetStatusText(2, QString::fromUtf16(NewEditionStatus));
    });
    return dialog;
}

} // namespace phonebook
