// The set exerciser's fixed texts, as a user sees them: for tests and the
// fuzzer that check its dialogue.
#ifndef MORVEN_TESTS_SET_DIALOGUE_H
#define MORVEN_TESTS_SET_DIALOGUE_H

#include <string>

const std::string kSetSeparator = "----------------------------------------";
const std::string kSetBanner = "Example of MORVEN sets" + kSetSeparator + "\n";
// The menu of every cycle, up to the prompt.
const std::string kSetMenu = "Select a set operation:\n"
                             "+<elem> -- Add a new element\n"
                             "-<elem> -- Delete an element\n"
                             "?<elem> -- Query whether an element is present\n"
                             "p       -- Print all elements in (strcmp) order\n"
                             "pp      -- Pretty-print the set's search tree\n"
                             "s       -- Print the set's tree in a compact s-expression form\n"
                             "ss      -- Pretty print the set's tree in a compact s-expression form\n"
                             "\n"
                             "q        -- Quit the program\n" +
                             kSetSeparator + "\n";

#endif
