# fish completion for cindral-cli

set -l commands list info compose burn direct-burn mtp erase lot records

function __cindral_cli_adapters
    cindral-cli list -q 2>/dev/null | awk '$3 == "virtual" || $3 == "real" { print $1 }'
end

complete -c cindral-cli -f
complete -c cindral-cli -l json -d 'one JSON object per line on stdout'
complete -c cindral-cli -l log -r -F -d 'append one JSON line per chip and operation to FILE'
complete -c cindral-cli -l yes -d "answer the library's questions with yes"
complete -c cindral-cli -s q -l quiet -d 'nothing on stderr but the reason of a failure'
complete -c cindral-cli -l simulate -d 'use two virtual adapters'
complete -c cindral-cli -s h -l help -d 'print the help'
complete -c cindral-cli -l version -d 'print the version'

complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'list the adapters'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a info -d 'print the Device and CRC pages'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a compose -d 'run the composer as the Main page does'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a burn -d 'burn an NVM burn file on one or more chips'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a direct-burn -d 'compose direct input and burn it'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a mtp -d 'read or write the 16-byte MTP'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a erase -d "erase the target's code memory"
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a lot -d 'production lots: a serial number in every chip'
complete -c cindral-cli -n "not __fish_seen_subcommand_from $commands" -a records -d 'the records of burned chips'

complete -c cindral-cli -n "__fish_seen_subcommand_from info compose burn direct-burn mtp erase" -s a -l adapter -x -a '(__cindral_cli_adapters)' -d 'adapter serial number'
complete -c cindral-cli -n "__fish_seen_subcommand_from info erase burn direct-burn" -l com -x -d 'serial adapter on COM port N'
complete -c cindral-cli -n "__fish_seen_subcommand_from burn direct-burn" -l all -d 'every attached adapter'
complete -c cindral-cli -n "__fish_seen_subcommand_from burn direct-burn" -l dry-run -d 'check the burn file and the connection only'
complete -c cindral-cli -n "__fish_seen_subcommand_from burn" -F -a '(__fish_complete_suffix .nbf)'

complete -c cindral-cli -n "__fish_seen_subcommand_from compose direct-burn" -s o -l out -r -a '(__fish_complete_suffix .nbf)' -d 'NVM burn file to write'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose direct-burn" -l logic-or -d 'Logic OR compose mode'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose direct-burn" -l overwrite -d 'replace an existing burn file'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l settings -r -a '(__fish_complete_suffix .set)' -d "the Main page's part of a settings file"
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l boot -r -F -d 'User Boot file FILE[@ADDR]'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l app -r -F -d 'User App file FILE@ADDR'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l user -d 'boot state User'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l run -d 'boot state Run'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l xo-early -d 'XO Early Enable'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l exe-user-boot -d 'Exe User Boot'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l nvm-disable -d 'NVM Disable'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l mtp-disable -d 'MTP Disable'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l ram-clear -d 'RAM Clear'
complete -c cindral-cli -n "__fish_seen_subcommand_from compose" -l c2-disable -d 'C2 Disable'
complete -c cindral-cli -n "__fish_seen_subcommand_from direct-burn" -l text -x -d 'direct burn text, e.g. "@1000 AA 55"'
complete -c cindral-cli -n "__fish_seen_subcommand_from direct-burn" -l file -r -F -d 'direct burn file'

complete -c cindral-cli -n "__fish_seen_subcommand_from mtp; and not __fish_seen_subcommand_from read write" -a read -d 'print the MTP content'
complete -c cindral-cli -n "__fish_seen_subcommand_from mtp; and not __fish_seen_subcommand_from read write" -a write -d 'write the MTP'
complete -c cindral-cli -n "__fish_seen_subcommand_from read" -l save -r -F -d 'also save it as an Intel-HEX file'
complete -c cindral-cli -n "__fish_seen_subcommand_from write" -l hex -r -F -d "overlay the chip's content with FILE"

complete -c cindral-cli -n "__fish_seen_subcommand_from lot; and not __fish_seen_subcommand_from create status burn" -a create -d 'register a lot'
complete -c cindral-cli -n "__fish_seen_subcommand_from lot; and not __fish_seen_subcommand_from create status burn" -a status -d 'burned, failed and remaining serials'
complete -c cindral-cli -n "__fish_seen_subcommand_from lot; and not __fish_seen_subcommand_from create status burn" -a burn -d 'burn the lot and the next serial per chip'
complete -c cindral-cli -n "__fish_seen_subcommand_from lot records" -l db -x -d 'sqlite:PATH or postgresql://...'
complete -c cindral-cli -n "__fish_seen_subcommand_from create" -l burn-file -r -a '(__fish_complete_suffix .nbf)' -d "the lot's burn file"
complete -c cindral-cli -n "__fish_seen_subcommand_from create" -l serial-nvm -x -d 'NVM place of the serial, ADDR:BYTES'
complete -c cindral-cli -n "__fish_seen_subcommand_from create" -l serial-mtp -x -d 'MTP place of the serial, OFFSET:BYTES'
complete -c cindral-cli -n "__fish_seen_subcommand_from create" -l first -x -d 'first serial'
complete -c cindral-cli -n "__fish_seen_subcommand_from create" -l last -x -d 'last serial'
complete -c cindral-cli -n "__fish_seen_subcommand_from lot; and __fish_seen_subcommand_from burn" -l all -d 'every attached adapter'
complete -c cindral-cli -n "__fish_seen_subcommand_from records" -l lot -x -d 'only this lot'
complete -c cindral-cli -n "__fish_seen_subcommand_from records" -l serial -x -d 'only this serial'
complete -c cindral-cli -n "__fish_seen_subcommand_from records" -l since -x -d 'only records since TIME'
complete -c cindral-cli -n "__fish_seen_subcommand_from records" -l json -d 'one JSON object per record'
complete -c cindral-cli -n "__fish_seen_subcommand_from records" -l csv -d 'comma-separated values with a header'
