# bash completion for dravnik: the commands, their options and file names. Archives are the
# NAME.0.exe files, so join and info offer .exe files and folders, and join's second operand
# is a folder. Needs only bash; bash-completion loads it from
# /usr/share/bash-completion/completions/dravnik.

_dravnik_sizes='1457664 1.38M 650M 4095M'

# Adds the names that start with $2 to COMPREPLY: files and folders, or with $3 ('*.exe') only
# the files that match it and folders. $1 is put in front of each (a value glued to its option,
# as in -a/media/stick/film); readline cannot tell that those are folders, so they get their
# slash here.
_dravnik_files() {
    local prefix=$1 word=$2 pattern=$3 name
    local -a found
    if [[ -n $pattern ]]; then
        mapfile -t found < <(compgen -f -X "!$pattern" -- "$word"; compgen -d -- "$word")
    else
        mapfile -t found < <(compgen -f -- "$word")
    fi
    for name in "${found[@]}"; do
        if [[ -n $prefix && -d $name ]]; then
            name+=/
            compopt -o nospace 2>/dev/null
        fi
        COMPREPLY+=("$prefix$name")
    done
    # Quote the names as file names, and let a folder not end the word.
    compopt -o filenames 2>/dev/null
}

_dravnik() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W 'split join info --help -h --version' -- "$cur")
        return
    fi

    # The words between the command and the one being completed: options end at --, split's
    # -v and -a may take their value as the next word, the rest are operands.
    local command=${COMP_WORDS[1]} word i
    local optionsEnded=0 operands=0 valueNext=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((valueNext)); then
            valueNext=0
        elif ((!optionsEnded)) && [[ $word == -- ]]; then
            optionsEnded=1
        elif ((!optionsEnded)) && [[ $word == -?* ]]; then
            [[ $command == split && ($word == -v || $word == -a) ]] && valueNext=1
        else
            ((operands++))
        fi
    done

    if ((valueNext)); then
        case $prev in
            -v) mapfile -t COMPREPLY < <(compgen -W "$_dravnik_sizes" -- "$cur") ;;
            -a) _dravnik_files '' "$cur" ;;
        esac
        return
    fi
    if ((!optionsEnded)) && [[ $cur == -* ]]; then
        case $command:$cur in
            split:-v*)
                mapfile -t COMPREPLY < <(compgen -P -v -W "$_dravnik_sizes" -- "${cur#-v}")
                ;;
            split:-a?*)
                _dravnik_files -a "${cur#-a}"
                ;;
            split:*)
                mapfile -t COMPREPLY < <(compgen -W '-v -a -y --help -h --' -- "$cur")
                ;;
            join:*)
                mapfile -t COMPREPLY < <(compgen -W '-y --help -h --' -- "$cur")
                ;;
            info:*)
                mapfile -t COMPREPLY < <(compgen -W '--help -h --' -- "$cur")
                ;;
        esac
        return
    fi

    case $command:$operands in
        split:0) _dravnik_files '' "$cur" ;;
        join:0 | info:0) _dravnik_files '' "$cur" '*.exe' ;;
        join:1)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            compopt -o filenames 2>/dev/null
            ;;
    esac
}

complete -F _dravnik dravnik
