@echo off
rem A small maintenance menu: pick a task, see its output, come back to the
rem menu, until "Quit".
rem
rem Unattended, the menu chooses "Quit" by itself after a minute, so the
rem script never waits forever; the pause after each task goes back to the
rem menu after half a minute.
setlocal
set menu_timeout=60
set pause_timeout=30

:menu
rem The lines piped in are shown above the menu's items.
(echo Maintenance of %COMPUTERNAME%& echo %DATE% %TIME%& echo What now?) | Vexpick.exe --menu --timeout=%menu_timeout% --default=4 "~Disk space" ~Processes ~Uptime ~Quit

rem "if errorlevel N" holds for N or more, so the highest comes first.
rem Escape, the timeout's "Quit" and a refused item (-1) all end the script.
if errorlevel 4 goto end
if errorlevel 3 goto uptime
if errorlevel 2 goto processes
if errorlevel 1 goto disk
goto end

:disk
dir %SystemDrive%\ | find "free"
goto pause

:processes
tasklist | more
goto pause

:uptime
systeminfo | find "Boot Time"
goto pause

:pause
Vexpick.exe --question="Press Enter to go back to the menu." --timeout=%pause_timeout% ~Back
goto menu

:end
endlocal
exit /b 0
