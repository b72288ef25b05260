#!/bin/sh
# A small maintenance menu: pick a task, see its output, come back to the
# menu, until "Quit".
#
# Unattended, the menu chooses "Quit" by itself after a minute, so the
# script never waits forever; the pause after each task goes back to the
# menu after half a minute.

menu_timeout=60
pause_timeout=30

while :; do
    # The lines piped in are shown above the menu's items.
    printf '%s\n' "Maintenance of $(hostname)" "$(date '+%Y-%m-%d %H:%M')" "What now?" |
        vexpick --menu --timeout="$menu_timeout" --default=4 \
            "~Disk space" "~Processes" "~Uptime" "~Quit"

    case $? in
        1) df -h ;;
        2) ps -e | head -n 20 ;;
        3) uptime ;;
        *) break ;; # Quit, Escape, the timeout, or a refused item (255)
    esac

    vexpick --question="Press Enter to go back to the menu." \
        --timeout="$pause_timeout" ~Back
done
