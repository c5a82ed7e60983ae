#include "splitter/form/splitter_state.h"

#include <string.h>

void initSplitterState(SplitterState* state) {
    memset(state, 0, sizeof(*state));
    state->sourceSizeKnown = 0;
    state->volumeSize = kDefaultVolumeSize;
    state->waitBlinkOn = 1;
    state->sourceStatus = kSourceMissing;
}
