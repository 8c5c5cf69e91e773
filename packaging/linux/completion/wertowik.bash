# bash completion for wertowik: commands, their options, licence names and formats, and the paths
# of discs (folders, .iso, .cue, .bin), catalogues (.sqlite) and streams (.bin).
_wertowik() {
    local cur prev words cword
    _init_completion || return

    local commands="register list files show search export remove decode plugins serve"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    case $prev in
        --catalogue)
            _filedir 'sqlite'
            return
            ;;
        --output | -o)
            _filedir
            return
            ;;
        --plugins | --streams)
            _filedir -d
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'json csv' -- "$cur"))
            return
            ;;
        --licence | --license)
            COMPREPLY=($(compgen -W 'unspecified shareware freeware demo full trial gpl adware' -- "$cur"))
            return
            ;;
        --only | --library)
            COMPREPLY=($(compgen -W 'chip tarvo holvar enter plavik vexlo none' -- "$cur"))
            return
            ;;
        --drive | --label | --record | --issue | --year | --disc | --limit | --max-file-size | --port | --address)
            return
            ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version -V" -- "$cur"))
        return
    fi

    local options="--help"
    case $command in
        register)
            options+=" --drive --label --only --record --issue --year --yes --no --streams --json --quiet"
            options+=" --catalogue --again --claimed-only --no-catalogue --plugins --max-file-size"
            ;;
        list) options+=" --library --year --json --catalogue" ;;
        files | show | remove) options+=" --json --catalogue" ;;
        search) options+=" --licence --license --disc --library --files --programs --limit --json --catalogue" ;;
        export) options+=" --format --excel --output -o --catalogue" ;;
        decode) options+=" --json" ;;
        plugins) options+=" --json --plugins" ;;
        serve) options+=" --catalogue --port --address --open" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        register) _filedir '@(iso|ISO|cue|CUE|bin|BIN)' ;;
        decode) _filedir 'bin' ;;
    esac
}
complete -F _wertowik wertowik
