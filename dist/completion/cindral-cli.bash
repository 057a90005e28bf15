# bash completion for cindral-cli                          -*- shell-script -*-

_cindral_cli_adapters() {
    cindral-cli list -q 2>/dev/null | awk '$3 == "virtual" || $3 == "real" { print $1 }'
}

_cindral_cli() {
    local cur prev words cword
    _init_completion || return

    local globals="--json --log --yes -q --quiet --simulate --help --version"
    local commands="list info compose burn direct-burn mtp erase lot records"
    local cmd="" sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --log) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $cmd ]]; then
                    cmd=${words[i]}
                elif [[ ($cmd == mtp || $cmd == lot) && -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        --log | --save)
            _filedir
            return
            ;;
        -o | --out | --burn-file)
            _filedir nbf
            return
            ;;
        --settings)
            _filedir set
            return
            ;;
        --boot | --app | --hex)
            _filedir '@(hex|ihx|mem)'
            return
            ;;
        --file)
            _filedir
            return
            ;;
        -a | --adapter)
            COMPREPLY=($(compgen -W "$(_cindral_cli_adapters)" -- "$cur"))
            return
            ;;
        --com | --text)
            return
            ;;
    esac

    local opts
    case $cmd in
        "") opts="$globals $commands" ;;
        list) opts="" ;;
        info | erase) opts="-a --adapter --com" ;;
        compose) opts="-o --out --settings --boot --app -a --adapter --user --run --xo-early
                       --exe-user-boot --nvm-disable --mtp-disable --ram-clear --c2-disable
                       --logic-or --overwrite" ;;
        burn)
            opts="-a --adapter --all --com --dry-run"
            if [[ $cur != -* ]]; then
                _filedir nbf
                return
            fi
            ;;
        direct-burn) opts="--text --file -o --out --logic-or --overwrite -a --adapter --all
                           --com --dry-run" ;;
        mtp)
            case $sub in
                "") opts="read write" ;;
                read) opts="--save -a --adapter" ;;
                write) opts="--hex -a --adapter" ;;
            esac
            ;;
        lot)
            case $sub in
                "") opts="create burn status" ;;
                create) opts="--burn-file --serial-nvm --serial-mtp --first --last --db" ;;
                burn) opts="-a --adapter --all --db" ;;
                status) opts="--db" ;;
            esac
            ;;
        records) opts="--lot --serial --since --json --csv --db" ;;
    esac
    [[ -n $cmd ]] && opts="$opts $globals"
    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
} &&
    complete -F _cindral_cli cindral-cli

# ex: filetype=sh
