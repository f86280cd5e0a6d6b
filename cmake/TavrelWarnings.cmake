# Warnings for the project's own targets (JUCE's sources are compiled without them).
add_library(tavrel_warnings INTERFACE)
target_compile_options(tavrel_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
