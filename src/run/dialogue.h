// The console dialogue: banner, file names, search parameters, the final key press.
#pragma once

struct RunState;

void print_banner(RunState& s);

// Asks for the input name and the three result names and opens the streams,
// with the scratch file "temp_file.out". Stops the run with an error when a
// file cannot be opened or a result name would overwrite the input or another result.
void open_files(RunState& s);

// Asks for the search parameters and advances the random stream.
void ask_parameters(RunState& s);

// Prints the closing prompt and waits for one key from the controlling terminal;
// returns at once when the process has no terminal.
void wait_for_key(RunState& s);
