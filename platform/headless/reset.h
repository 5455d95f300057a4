// What the parts of the in-memory platform reset for HeadlessReset.
#pragma once

void ResetRecord();
void ResetScreen();
