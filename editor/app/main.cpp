// probe_editor: the editor's program entry.
#include "editor/ui/editor_main.h"
#include "platform/dynlib.h"
#include "probe_core/biblioteki/biblioteki.h"

int main(int argc, char** argv) {
    // The file dialogs make the chosen file's folder the current one, and the surface libraries
    // are loaded after that by their bare names: a library lying in a shared or download folder
    // must never be the one bound.
    platform::keepCurrentDirectoryOutOfLibrarySearch();
    return ui::runProbeEditor(argc, argv, biblioteki::systemPlatform());
}
