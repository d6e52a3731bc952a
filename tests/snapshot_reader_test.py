"""Snapshots of lbm_trace read back with VTK's own XML reader.

Runs `lbm_trace --vtk DIR --every 40 145` and compares every snapshot, as VTK
reads it, bit for bit with the lattice's fields dumped by snapshot_dump at the
same steps (every NaN written as 0xFFC00000). Checks the collection too, and
the field data that says how each snapshot was made: VTK's reader gives the
step as the file's time, and the parameters of the run.

usage: python3 snapshot_reader_test.py LBM_TRACE SNAPSHOT_DUMP
Exits with 77 (skipped) where Python has no VTK module.
"""
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

try:
    import vtk
except ImportError as error:
    print("SKIPPED: VTK's Python module cannot be imported (Debian: python3-vtk9): %s" % error)
    sys.exit(77)

STEPS = 145  # the probe shows inf from step 140 and NaN from step 144
EVERY = 40
SNAPSHOT_STEPS = [0, 40, 80, 120, 145]  # every 40th step and the last
GRID = 50
DIRECTIONS = 19
CANONICAL_NAN = 0xFFC00000
ARRAYS = [  # name, VTK type, components
    ("intensity", vtk.VTK_FLOAT, 1),
    ("density", vtk.VTK_FLOAT, 1),
    ("speed", vtk.VTK_FLOAT, 1),
    ("f", vtk.VTK_FLOAT, DIRECTIONS),
    ("source", vtk.VTK_UNSIGNED_CHAR, 1),
]

# The field data of a snapshot of the start-up run: name, VTK type, values
# (the step's is TimeValue).
FIELDS = [
    ("TimeValue", vtk.VTK_DOUBLE, None),
    ("tau", vtk.VTK_FLOAT, [0.56]),
    ("spacing", vtk.VTK_FLOAT, [0.5]),
    ("source_cell", vtk.VTK_INT, [49, 49, 0]),
    ("source_value", vtk.VTK_FLOAT, [0.42]),
    ("layers", vtk.VTK_INT, None),
    ("program", vtk.VTK_STRING, None),
]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def file_bits(bits):
    """The bits the file holds for a float of the lattice."""
    return CANONICAL_NAN if (bits & 0x7FFFFFFF) > 0x7F800000 else bits


def read_dump(path):
    """The lattice's fields at one step: {name: list of words or bytes}, layers."""
    with open(path, "rb") as dump:
        data = dump.read()
    (layers,) = struct.unpack_from("=I", data)
    cells = layers * GRID * GRID
    offset = 4
    fields = {}
    for name, _, components in ARRAYS[:4]:
        count = cells * components
        fields[name] = [file_bits(word) for word in struct.unpack_from("=%dI" % count, data, offset)]
        offset += 4 * count
    fields["source"] = list(data[offset:offset + cells])
    check(offset + cells == len(data), "%s has the size of %d layers" % (path, layers))
    return fields, layers


def read_snapshot(path):
    """VTK's XML reader of a .vti file, the image it makes, and its error messages."""
    errors = []
    reader = vtk.vtkXMLImageDataReader()
    reader.AddObserver("ErrorEvent", lambda caller, event: errors.append(event))
    reader.GetExecutive().AddObserver("ErrorEvent", lambda caller, event: errors.append(event))
    reader.SetFileName(path)
    reader.Update()
    return reader, reader.GetOutput(), errors


def float32(value):
    """The float nearest a decimal, as the program reads one."""
    return struct.unpack("=f", struct.pack("=f", value))[0]


def check_field_data(name, reader, image, step, layers):
    """The field data says the step (ParaView's time) and the run's parameters."""
    times = reader.GetOutputInformation(0).Get(vtk.vtkStreamingDemandDrivenPipeline.TIME_STEPS())
    check(times == (float(step),), "%s: VTK's reader gives step %d as the file's time (got %s)" % (name, step, times))
    fields = image.GetFieldData()
    found = [(fields.GetAbstractArray(i).GetName(), fields.GetAbstractArray(i).GetDataType())
             for i in range(fields.GetNumberOfArrays())]
    check(found == [(field, kind) for field, kind, _ in FIELDS],
          "%s has the field data %s (got %s)" % (name, [field for field, _, _ in FIELDS], found))
    values = {}
    for field, _, _ in FIELDS:
        array = fields.GetAbstractArray(field)
        if array is not None:
            values[field] = [array.GetVariantValue(i).ToDouble() if field != "program" else
                             array.GetVariantValue(i).ToString() for i in range(array.GetNumberOfValues())]
    expected = {field: [float32(v) if kind == vtk.VTK_FLOAT else v for v in wanted]
                for field, kind, wanted in FIELDS if wanted is not None}
    expected["TimeValue"] = [step]
    expected["layers"] = [layers]
    check(all(values.get(field) == wanted for field, wanted in expected.items()),
          "%s: the field data holds %s (got %s)" % (name, expected, values))
    program = values.get("program", [""])[0]
    check(program.startswith("latticeview "), "%s: the program is latticeview and its version (got %r)" % (name, program))


def array_words(array):
    """The values of a VTK array as unsigned integers of their own width."""
    raw = bytes(memoryview(array))
    if array.GetDataType() == vtk.VTK_UNSIGNED_CHAR:
        return list(raw)
    return list(struct.unpack("=%dI" % (len(raw) // 4), raw))


def main():
    trace, dumper = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        snapshots = os.path.join(work, "snapshots")
        with open(os.path.join(work, "reports.txt"), "wb") as reports:
            status = subprocess.call([trace, "--vtk", snapshots, "--every", str(EVERY), str(STEPS)], stdout=reports)
        check(status == 0, "lbm_trace ends with status 0 (got %d)" % status)
        status = subprocess.call([dumper, work] + [str(step) for step in SNAPSHOT_STEPS])
        check(status == 0, "snapshot_dump ends with status 0 (got %d)" % status)

        names = ["lattice_%06d.vti" % step for step in SNAPSHOT_STEPS]
        check(sorted(os.listdir(snapshots)) == sorted(names + ["lattice.pvd"]),
              "the directory holds the snapshots and the collection, nothing else: %s" % os.listdir(snapshots))

        collection = ElementTree.parse(os.path.join(snapshots, "lattice.pvd")).getroot()
        listed = [(item.get("timestep"), item.get("file")) for item in collection.iter("DataSet")]
        check(collection.get("type") == "Collection" and listed == [(str(s), n) for s, n in zip(SNAPSHOT_STEPS, names)],
              "the collection lists every snapshot with its step as its time: %s" % listed)

        seen = set()
        for step, name in zip(SNAPSHOT_STEPS, names):
            expected, layers = read_dump(os.path.join(work, "dump_%06d.bin" % step))
            reader, image, errors = read_snapshot(os.path.join(snapshots, name))
            check(not errors, "%s reads without errors" % name)
            check_field_data(name, reader, image, step, layers)
            check(image.GetDimensions() == (GRID, GRID, layers) and image.GetSpacing() == (1.0, 1.0, 1.0)
                  and image.GetOrigin() == (0.0, 0.0, 0.0),
                  "%s: %s points, spacing %s, origin %s" % (name, image.GetDimensions(), image.GetSpacing(),
                                                             image.GetOrigin()))
            points = image.GetPointData()
            found = [(points.GetArrayName(i), points.GetArray(i).GetDataType(), points.GetArray(i).GetNumberOfComponents())
                     for i in range(points.GetNumberOfArrays())]
            check(found == ARRAYS, "%s has the arrays %s (got %s)" % (name, ARRAYS, found))
            check(points.GetScalars() is not None and points.GetScalars().GetName() == "intensity",
                  "%s: intensity is the active scalar" % name)
            for array_name, _, _ in ARRAYS:
                array = points.GetArray(array_name)
                if array is None:
                    continue
                words = array_words(array)
                check(words == expected[array_name], "%s: %s equals the lattice's, bit for bit" % (name, array_name))
                seen.update(word & 0x7FFFFFFF for word in words if (word & 0x7F800000) == 0x7F800000)
        # The comparison covered infinities and NaNs, not only ordinary numbers.
        check(0x7F800000 in seen and (CANONICAL_NAN & 0x7FFFFFFF) in seen, "the snapshots hold inf and NaN")

    print("%d failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
