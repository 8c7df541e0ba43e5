"""The Wine case kit: what the end-to-end cases of the three deliverables share.

    rig       the prefix and display of a test run, and the one way to run a Windows program
    case      a case runner: arguments, work folder, failures, background processes, files,
              exit codes, files held as the running game holds them
    boxes     the message-box driver in the background, and the boxes a case expects
    registry  registry records imported from .reg files, values queried and set
    folders   names that appear in a folder during a run, however briefly
    net       free ports, the scriptable HTTP server, tinyproxy, a port whose connects stay pending
"""
