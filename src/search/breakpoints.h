// Breakpoint tables of the trials.
#pragma once

struct RunState;

// Draws one trial's breakpoint table: nn, bp[0..nn-1] sorted, and onset.
void draw_breakpoints(RunState& s);
