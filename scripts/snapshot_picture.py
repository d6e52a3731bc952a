"""Draws the intensity field of a snapshot: the picture of the README.

usage: /usr/bin/python3 scripts/snapshot_picture.py LBM_TRACE OUTPUT.png [STEPS]

Runs `lbm_trace --vtk` for STEPS steps (100 by default) in a temporary
directory, reads the last snapshot with VTK's XML reader and renders the
base-10 logarithm of every cell's intensity, the lattice seen as the window
shows it at start-up: column 0 on the right, row 0 at the bottom. Renders
off-screen in a private Xvfb server when DISPLAY is not set. Needs
python3-vtk9 and xvfb.
"""
import os
import subprocess
import sys
import tempfile

import vtk

WIDTH, HEIGHT = 640, 520


def start_xvfb():
    """A private X server on a free display; returns its process."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT),
                               "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        os.environ["DISPLAY"] = ":" + numbers.readline().strip()
    return server


def render(snapshot, steps, output):
    reader = vtk.vtkXMLImageDataReader()
    reader.SetFileName(snapshot)
    logarithm = vtk.vtkArrayCalculator()
    logarithm.SetInputConnection(reader.GetOutputPort())
    logarithm.SetAttributeTypeToPointData()
    logarithm.AddScalarArrayName("intensity")
    logarithm.SetFunction("log10(intensity)")
    logarithm.SetResultArrayName("log10 intensity")
    logarithm.Update()
    image = logarithm.GetOutput()
    image.GetPointData().SetActiveScalars("log10 intensity")
    low, high = image.GetPointData().GetScalars().GetRange()

    colours = vtk.vtkLookupTable()
    colours.SetTableRange(low, high)
    colours.SetHueRange(0.667, 0.0)  # blue (low) to red (high)
    colours.Build()

    mapper = vtk.vtkImageSliceMapper()
    mapper.SetInputData(image)
    cells = vtk.vtkImageSlice()
    cells.SetMapper(mapper)
    cells.GetProperty().SetLookupTable(colours)
    cells.GetProperty().UseLookupTableScalarRangeOn()
    cells.GetProperty().SetInterpolationTypeToNearest()

    legend = vtk.vtkScalarBarActor()
    legend.SetLookupTable(colours)
    legend.SetTitle("log10 intensity")
    legend.SetNumberOfLabels(5)
    legend.SetLabelFormat("%.0f")
    legend.UnconstrainedFontSizeOn()
    for text in (legend.GetTitleTextProperty(), legend.GetLabelTextProperty()):
        text.SetFontSize(16)
        text.ItalicOff()
        text.BoldOff()
        text.ShadowOff()
    legend.SetPosition(0.75, 0.05)
    legend.SetWidth(0.22)
    legend.SetHeight(0.85)

    title = vtk.vtkTextActor()
    title.SetInput("intensity after %d steps" % steps)
    title.GetTextProperty().SetFontSize(18)
    title.SetPosition(10, HEIGHT - 28)

    renderer = vtk.vtkRenderer()
    renderer.AddViewProp(cells)
    renderer.AddActor2D(legend)
    renderer.AddActor2D(title)
    # The window's start-up view: looking along +z, row (y) up, so that the
    # column (x) grows to the left. The lattice fills the left of the picture.
    camera = renderer.GetActiveCamera()
    camera.ParallelProjectionOn()
    camera.SetFocalPoint(14.9, 25.5, 0.0)
    camera.SetPosition(14.9, 25.5, -100.0)
    camera.SetViewUp(0.0, 1.0, 0.0)
    camera.SetParallelScale(29.0)
    renderer.ResetCameraClippingRange()

    window = vtk.vtkRenderWindow()
    window.SetOffScreenRendering(1)
    window.SetSize(WIDTH, HEIGHT)
    window.AddRenderer(renderer)
    window.Render()
    grab = vtk.vtkWindowToImageFilter()
    grab.SetInput(window)
    grab.Update()
    writer = vtk.vtkPNGWriter()
    writer.SetFileName(output)
    writer.SetInputConnection(grab.GetOutputPort())
    writer.Write()


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    trace, output = sys.argv[1], os.path.abspath(sys.argv[2])
    steps = int(sys.argv[3]) if len(sys.argv) == 4 else 100
    server = start_xvfb() if not os.environ.get("DISPLAY") else None
    try:
        with tempfile.TemporaryDirectory() as work:
            subprocess.run([trace, "--vtk", work, "--every", str(max(steps, 1)), str(steps)],
                           stdout=subprocess.DEVNULL, check=True)
            render(os.path.join(work, "lattice_%06d.vti" % steps), steps, output)
    finally:
        if server is not None:
            server.terminate()
            server.wait()


if __name__ == "__main__":
    main()
