# Tab completion of quillmere (and quillmere-cli) for bash, with bash-completion loaded: the
# options; folders for the scan; for --include, the subfolders of the first folder already typed
# (every include must exist under every folder, so the first one stands for all); for --undo, the
# manifests and journals a set-aside leaves in a _duplicates_review folder, and folders to reach
# one.

# Keeps the folders and the manifests and journals among what _filedir found: other JSON files,
# such as the app's review state beside a manifest, are not something --undo can read.
_quillmere_keep_manifests() {
    local entry path kept=()
    for entry in "${COMPREPLY[@]}"; do
        path=$entry
        __expand_tilde_by_ref path
        case ${entry##*/} in
        _quillmere_manifest_*.json | _quillmere_journal_*.jsonl) kept+=("$entry") ;;
        *) [[ -d $path ]] && kept+=("$entry") ;;
        esac
    done
    COMPREPLY=("${kept[@]}")
}

# A word as typed, with its quotes and backslashes removed and its variables and leading tilde
# expanded, without eval: pressing Tab must not run anything written on the command line.
_quillmere_unquote() {
    local word=${1//[\"\']/} name out=
    while [[ $word =~ ^([^$]*)\$\{?([A-Za-z_][A-Za-z0-9_]*)\}?(.*)$ ]]; do
        name=${BASH_REMATCH[2]}
        out+=${BASH_REMATCH[1]//\\/}${!name-}
        word=${BASH_REMATCH[3]}
    done
    out+=${word//\\/}
    __expand_tilde_by_ref out
    printf '%s' "$out"
}

# The first folder on the command line, unquoted, or nothing: words after the options that take
# a value are those values, not folders.
_quillmere_first_folder() {
    local i word
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        case $word in
        --include | --out | --undo) ((i++)) ;;
        -*) ;;
        *)
            _quillmere_unquote "$word"
            return
            ;;
        esac
    done
}

_quillmere() {
    local cur prev words cword
    _init_completion || return

    case $prev in
    --out)
        _filedir
        return
        ;;
    --undo)
        _filedir 'json|jsonl'
        _quillmere_keep_manifests
        return
        ;;
    --include)
        local root
        root=$(_quillmere_first_folder)
        if [[ -n $root && -d $root ]]; then
            local IFS=$'\n' entry
            compopt -o filenames 2>/dev/null
            for entry in $(compgen -d -- "$root/$(_quillmere_unquote "$cur")"); do
                COMPREPLY+=("${entry#"$root"/}")
            done
        else
            _filedir -d
        fi
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        local options='--include --out --move --yes --undo --similar --quiet -h --help'
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    _filedir -d
}
complete -F _quillmere quillmere quillmere-cli
