'''A stand-in for the Plasma shell's scripting object, for python-dbusmock.

evaluateScript records each script it gets (in the file named by the
"record" parameter) and answers as the shell would for two desktops: it
prints, for each, the Image value the script wrote last, or the value of the
"kept" parameter when given (a shell that did not take the change). With
"locked" set it refuses, as a shell with locked widgets does.
'''

BUS_NAME = 'org.kde.plasmashell'
MAIN_OBJ = '/PlasmaShell'
MAIN_IFACE = 'org.kde.PlasmaShell'
SYSTEM_BUS = False

CODE = '''
import re
with open(RECORD, 'a') as record:
    record.write(args[0] + '\\x00')
if LOCKED:
    raise dbus.exceptions.DBusException('Widgets are locked', name='org.freedesktop.DBus.Error.Failed')
variables = dict(re.findall(r'var (\\w+) = "([^"]*)";', args[0]))
written = re.findall(r'writeConfig\\("Image", (\\w+)\\)', args[0])
image = KEPT or variables[written[-1]]
ret = (image + '\\n') * 2
'''


def load(mock, parameters):
    code = CODE.replace('RECORD', repr(parameters['record']))
    code = code.replace('LOCKED', repr(parameters.get('locked', False)))
    code = code.replace('KEPT', repr(parameters.get('kept', '')))
    mock.AddMethod(MAIN_IFACE, 'evaluateScript', 's', 's', code)
