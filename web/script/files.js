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

  return {download};
})();
