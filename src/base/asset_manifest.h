#pragma once
// The files of an asset pack: the one list that names them. The show's
// start-up opens them in this order, the generator of the default pack makes
// them, and the build reads this file for the list of what it generates (one
// entry a line, the path in double quotes).
//
// Paths are relative to the pack's directory and spelled the way the show
// opens them: two keep a doubled slash, which the file system reads as one.

namespace vorlith {

enum class Asset {
  endPicture,
  codeCredit,
  musicCredit,
  gfxCredit,
  logo,
  title,
  module,
  blobSprite,
  lightmap,
  tunnelTexture,
  ribbonTexture,
};

struct AssetEntry {
  Asset asset;
  const char* path;
};

inline constexpr AssetEntry assetManifest[] = {
    {Asset::endPicture, "gfx/the_end.tga"},
    {Asset::codeCredit, "gfx/code_qev.tga"},
    {Asset::musicCredit, "gfx/music_tolvane.tga"},
    {Asset::gfxCredit, "gfx/gfx_qev.tga"},
    {Asset::logo, "gfx/vorlith.tga"},
    {Asset::title, "gfx/thebrimtale.tga"},
    {Asset::module, "music/brimtale.it"},
    {Asset::blobSprite, "gfx//blob_1.tga"},
    {Asset::lightmap, "gfx//specular_lightmap.tga"},
    {Asset::tunnelTexture, "gfx/texture1.tga"},
    {Asset::ribbonTexture, "gfx/voxel_texture.tga"},
};

// The manifest's entry of an asset.
constexpr const AssetEntry& assetEntry(Asset asset) {
  for (const AssetEntry& entry : assetManifest)
    if (entry.asset == asset) return entry;
  return assetManifest[0];
}

// The path the show names an asset by.
constexpr const char* assetPath(Asset asset) { return assetEntry(asset).path; }

}  // namespace vorlith
