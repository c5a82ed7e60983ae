#include "splitter/form/splitter_state.h"

#include <string.h>

void initSplitterState(SplitterState* state) {
    memset(state, 0, sizeof(*state));
    state->sourceSize = kSourceSizeUnknown;
    state->volumeSize = kDefaultVolumeSize;
    state->waitBlinkOn = 1;
}
