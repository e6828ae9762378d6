# Starts the screen reader Orca as its own command does, with two changes
# for a test that shares the machine with others:
# - it neither kills nor is stopped by the Orca of another session: the
#   command looks other instances up by the process name "orca", which this
#   one does not take, and its --replace kills them all;
# - its debug log is written line by line, so a test reads what was said as
#   soon as it was said.
#   /usr/bin/python3 orca_alone.py --debug-file=FILE [ORCA OPTION...]
import builtins
import sys

ORCA = "/usr/bin/orca"
sys.argv = [ORCA] + [a for a in sys.argv[1:] if a not in ("-r", "--replace")]
with builtins.open(ORCA, encoding="utf-8") as f:
    source = f.read()
launcher = {"__name__": "orca_alone", "__file__": ORCA}
exec(compile(source, ORCA, "exec"), launcher)
launcher["setProcessName"] = lambda name: None
launcher["otherOrcas"] = lambda: []


def line_buffered_open(file, mode="r", *args, **kwargs):
    if "w" in mode and "buffering" not in kwargs and not args:
        kwargs["buffering"] = 1
    return builtins.open(file, mode, *args, **kwargs)


# The command opens its debug file with the open it finds among its globals.
launcher["open"] = line_buffered_open
sys.exit(launcher["main"]())
