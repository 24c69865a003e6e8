# Sourced by the layer checks. Reads the folders' CMakeLists.txt: which files make up the Qt-free
# helper libraries that live beside the windows (velmora_<folder>_core), and what each target links.
# Run from the repository root.

# Folders whose velmora_<folder>_core library is a layer of its own, below the folder's windows.
helper_folders=(audit sales reports)

# Prints the commands of one CMakeLists.txt that make or link targets, each on one line, comments
# dropped:
# "add_library velmora_x STATIC a.cpp b.cpp".
cmake_commands() {
    local file=$1
    perl -0777 -ne '
        s/#[^\n]*//g;
        while (/\b(add_library|add_executable|target_link_libraries|velmora_fuzz_target)\s*\(([^)]*)\)/g) {
            my ($command, $args) = ($1, $2);
            $args =~ s/\s+/ /g;
            $args =~ s/^ | $//g;
            print "$command $args\n";
        }' "$file"
}

# Prints the files of the helper library of folder $1, headers and sources, one a line.
helper_files() {
    local folder=$1 source
    [ -f "$folder/CMakeLists.txt" ] || return 0
    cmake_commands "$folder/CMakeLists.txt" | while read -r command target rest; do
        [ "$command" = add_library ] && [ "$target" = "velmora_${folder}_core" ] || continue
        for source in $rest; do
            [[ "$source" == *.cpp ]] || continue
            source=${source%.cpp}
            for file in "$folder/$source.cpp" "$folder/$source.h"; do
                [ -e "$file" ] && echo "$file"
            done
        done
    done
}
