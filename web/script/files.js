// Files: what the page offers to save, handed to the browser as downloads.
const Files = (() => {
  // Offers `blob` for download under the name `name`.
  function download(blob, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  // Offers the picture on `canvas` as a PNG named `name`; the status says
  // that `what` was saved. The canvas is read at once, in this task.
  function downloadPicture(canvas, name, what) {
    canvas.toBlob((blob) => {
      if (blob === null) return;
      download(blob, name);
      Program.noteFile('Saved ' + what + ' as ' + name + '.');
    }, 'image/png');
  }

  return {download, downloadPicture};
})();
