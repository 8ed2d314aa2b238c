// probe_editor: the editor's program entry.
#include "editor/biblioteki/biblioteki.h"
#include "editor/ui/editor_main.h"

int main(int argc, char** argv) {
    return ui::runProbeEditor(argc, argv, biblioteki::systemPlatform());
}
