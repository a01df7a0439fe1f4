"""Imported by the drawing scripts, never run: their command line."""
import os
import sys


def no_arguments(doc):
    """Prints the script's usage (its DOC) and ends it for -h or --help; ends
    it with the usage on the standard error for any other argument; returns
    when there is none."""
    name = "scripts/" + os.path.basename(sys.argv[0])
    usage = "usage: %s\n%s\n" % (name, doc.strip())
    if len(sys.argv) == 1:
        return
    if sys.argv[1:] in (["-h"], ["--help"]):
        sys.stdout.write(usage)
        sys.exit(0)
    sys.stderr.write("%s: takes no arguments, not %s\n%s" % (name, " ".join(sys.argv[1:]), usage))
    sys.exit(2)
