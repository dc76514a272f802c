// The console dialogue: banner, file names, search parameters, the final key press.
#pragma once

struct RunState;

void print_banner(RunState& s);

// Asks for the input name and the three result names. Opens the input; checks that
// the result names and the scratch file "temp_file.out" can be written and that none
// would overwrite the input or another result. Stops the run with an error otherwise.
void open_files(RunState& s);

// Creates (or empties) the three result files and the scratch file named in the file
// dialogue. The run calls it once the record and the answers have been accepted, so
// that a refused run leaves every existing file as it was.
void open_results(RunState& s);

// Asks for the search parameters and advances the random stream.
void ask_parameters(RunState& s);

// Prints the closing prompt and waits for one key from the controlling terminal;
// returns at once when the process has no terminal.
void wait_for_key(RunState& s);
